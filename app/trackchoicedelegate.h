// The track a file of a lookup goes to, chosen in place from the release's tracks: the editor is
// made only for the row being edited, whatever the number of files.
#ifndef TRACKCHOICEDELEGATE_H
#define TRACKCHOICEDELEGATE_H

#include <QStyledItemDelegate>

class QAbstractItemModel;

class TrackChoiceDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The index's ChoiceRole is the row of choices it holds; its text is that row's text.
    static constexpr int ChoiceRole = Qt::UserRole;

    TrackChoiceDelegate(QAbstractItemModel *choices, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    QAbstractItemModel *m_choices;
};

#endif // TRACKCHOICEDELEGATE_H
