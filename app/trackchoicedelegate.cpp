#include "trackchoicedelegate.h"

#include <QComboBox>

TrackChoiceDelegate::TrackChoiceDelegate(QAbstractItemModel *choices, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_choices(choices)
{ }

QWidget *TrackChoiceDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                           const QModelIndex &) const
{
    auto *box = new QComboBox(parent);
    box->setModel(m_choices);
    // A choice counts once made, as with a box of its own in each row.
    connect(box, &QComboBox::activated, this, [this, box] {
        auto *self = const_cast<TrackChoiceDelegate *>(this);
        emit self->commitData(box);
        emit self->closeEditor(box);
    });
    return box;
}

void TrackChoiceDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    static_cast<QComboBox *>(editor)->setCurrentIndex(index.data(ChoiceRole).toInt());
}

void TrackChoiceDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    const auto *box = static_cast<QComboBox *>(editor);
    // The choice first: a change of the text tells the model's users what was chosen.
    model->setData(index, box->currentIndex(), ChoiceRole);
    model->setData(index, box->currentText(), Qt::DisplayRole);
}
