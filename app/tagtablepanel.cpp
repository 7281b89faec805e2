#include "tagtablepanel.h"

#include "fieldtable.h"
#include "multilinedelegate.h"
#include "selectiontagsmodel.h"
#include "tagsession.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TagTablePanel::TagTablePanel(TagSession *session, QWidget *parent)
    : QWidget(parent)
    , m_model(new SelectionTagsModel(session, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(createView());
    layout->addLayout(createButtons());
    updateButtons();
}

QTableView *TagTablePanel::createView()
{
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("tagTable"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new MultiLineDelegate(SelectionTagsModel::ValueColumn, m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    // Rows as tall as their lines of values.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TagTablePanel::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TagTablePanel::updateButtons);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &TagTablePanel::updateButtons);
    return m_view;
}

QLayout *TagTablePanel::createButtons()
{
    m_fieldChoice = new QComboBox(this);
    m_fieldChoice->setObjectName(QStringLiteral("fieldChoice"));
    m_fieldChoice->setEditable(true);
    m_fieldChoice->setInsertPolicy(QComboBox::NoInsert);
    for (const quillet::KnownField &field : quillet::knownFields)
        m_fieldChoice->addItem(SelectionTagsModel::labelOf(QLatin1String(
                                       field.key.data(), qsizetype(field.key.size()))),
                               QLatin1String(field.key.data(), qsizetype(field.key.size())));
    m_fieldChoice->setCurrentIndex(-1);
    m_fieldChoice->lineEdit()->setPlaceholderText(tr("Field name"));
    m_addButton = new QPushButton(tr("Add field"), this);
    m_addButton->setObjectName(QStringLiteral("addFieldButton"));
    m_removeButton = new QPushButton(tr("Remove field"), this);
    m_removeButton->setObjectName(QStringLiteral("removeFieldButton"));
    auto *row = new QHBoxLayout;
    row->addWidget(m_fieldChoice, 1);
    row->addWidget(m_addButton);
    row->addWidget(m_removeButton);
    connect(m_addButton, &QPushButton::clicked, this, &TagTablePanel::addField);
    connect(m_fieldChoice->lineEdit(), &QLineEdit::returnPressed, this, &TagTablePanel::addField);
    connect(m_removeButton, &QPushButton::clicked, this, &TagTablePanel::removeField);
    return row;
}

void TagTablePanel::setSelection(const QList<RowId> &ids)
{
    m_model->setSelection(ids);
    updateButtons();
}

QString TagTablePanel::chosenKey() const
{
    const QString text = m_fieldChoice->currentText().trimmed();
    const int known = m_fieldChoice->findText(text, Qt::MatchFixedString);
    return known >= 0 ? m_fieldChoice->itemData(known).toString() : text.toUpper();
}

void TagTablePanel::addField()
{
    const int row = m_model->addField(chosenKey());
    if (row < 0)
        return;
    m_fieldChoice->setCurrentIndex(-1);
    const QModelIndex value = m_model->index(row, SelectionTagsModel::ValueColumn);
    m_view->setCurrentIndex(value);
    m_view->edit(value);
}

void TagTablePanel::removeField()
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid())
        m_model->removeField(current.row());
}

void TagTablePanel::updateButtons()
{
    const bool any = !m_model->selection().isEmpty();
    m_addButton->setEnabled(any);
    m_fieldChoice->setEnabled(any);
    m_removeButton->setEnabled(any && m_view->currentIndex().isValid());
}
