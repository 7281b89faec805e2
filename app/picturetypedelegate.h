// A picture's type chosen from the names of the types.
#ifndef PICTURETYPEDELEGATE_H
#define PICTURETYPEDELEGATE_H

#include <QStyledItemDelegate>

// Edits the cells of one column, which hold a picture type's number as their EditRole, with a
// list of the types' names. The other columns edit as usual.
class PictureTypeDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit PictureTypeDelegate(int column, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    int m_column;
};

#endif // PICTURETYPEDELEGATE_H
