// Cells holding several values, one a line, edited as lines.
#ifndef MULTILINEDELEGATE_H
#define MULTILINEDELEGATE_H

#include <QStyledItemDelegate>

// A plain text editor for the cells of one column: Return starts a new line, Tab or leaving the
// cell commits it. The other columns edit as usual.
class MultiLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit MultiLineDelegate(int column, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

private:
    int m_column;
};

#endif // MULTILINEDELEGATE_H
