#include "multilinedelegate.h"

#include <QPlainTextEdit>

namespace {

// Room for a few lines below the cell: values are rarely more.
constexpr int shownLines = 4;

} // namespace

MultiLineDelegate::MultiLineDelegate(int column, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_column(column)
{ }

QWidget *MultiLineDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                         const QModelIndex &index) const
{
    if (index.column() != m_column)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *editor = new QPlainTextEdit(parent);
    editor->setObjectName(QStringLiteral("valueEditor"));
    editor->setTabChangesFocus(true);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    return editor;
}

void MultiLineDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *lines = qobject_cast<QPlainTextEdit *>(editor);
    if (!lines) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    lines->setPlainText(index.data(Qt::EditRole).toString());
    lines->selectAll();
}

void MultiLineDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                     const QModelIndex &index) const
{
    if (auto *lines = qobject_cast<QPlainTextEdit *>(editor))
        model->setData(index, lines->toPlainText(), Qt::EditRole);
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

void MultiLineDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                             const QModelIndex &index) const
{
    if (!qobject_cast<QPlainTextEdit *>(editor)) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    QRect area = option.rect;
    area.setHeight(qMax(area.height(), option.fontMetrics.lineSpacing() * shownLines + 8));
    editor->setGeometry(area);
}
