#include "picturetypedelegate.h"

#include "picturepanel.h"

#include <QComboBox>

PictureTypeDelegate::PictureTypeDelegate(int column, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_column(column)
{ }

QWidget *PictureTypeDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    if (index.column() != m_column)
        return QStyledItemDelegate::createEditor(parent, option, index);
    QComboBox *types = PicturePanel::createTypeChoice(parent);
    types->setFrame(false);
    return types;
}

void PictureTypeDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *types = qobject_cast<QComboBox *>(editor))
        types->setCurrentIndex(types->findData(index.data(Qt::EditRole)));
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void PictureTypeDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    if (auto *types = qobject_cast<QComboBox *>(editor))
        model->setData(index, types->currentData(), Qt::EditRole);
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}
