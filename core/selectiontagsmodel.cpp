#include "selectiontagsmodel.h"

#include "fieldtable.h"
#include "tagsession.h"

#include <algorithm>

SelectionTagsModel::SelectionTagsModel(TagSession *session, QObject *parent)
    : QAbstractTableModel(parent)
    , m_session(session)
{
    connect(session, &TagSession::valuesChanged, this, &SelectionTagsModel::refresh);
    // Rows going out of the session go out of the selection; other columns keep it.
    connect(session, &QAbstractItemModel::rowsRemoved, this, &SelectionTagsModel::pruneSelection);
    connect(session, &QAbstractItemModel::modelReset, this, &SelectionTagsModel::pruneSelection);
}

void SelectionTagsModel::pruneSelection()
{
    QList<RowId> kept = m_selection;
    kept.removeIf([this](RowId id) { return !m_session->contains(id); });
    if (kept.size() != m_selection.size())
        setSelection(kept);
}

QString SelectionTagsModel::differentValues()
{
    return tr("<different values>");
}

QString SelectionTagsModel::labelOf(const QString &key)
{
    for (const quillet::KnownField &field : quillet::knownFields) {
        if (QLatin1String(field.key.data(), qsizetype(field.key.size())) == key)
            return tr(field.label);
    }
    return key;
}

void SelectionTagsModel::setSelection(const QList<RowId> &ids)
{
    beginResetModel();
    m_selection = ids;
    m_selected = QSet<RowId>(ids.cbegin(), ids.cend());
    m_added.clear();
    m_entries = entries();
    endResetModel();
}

QList<SelectionTagsModel::Entry> SelectionTagsModel::entries() const
{
    QList<Entry> found;
    if (!m_session || m_selection.isEmpty())
        return found;
    QList<RowId> present = m_selection;
    present.removeIf([this](RowId id) { return !m_session->contains(id); });
    const RowId first = present.value(0);
    for (const QString &key : m_session->keys(present)) {
        Entry entry {key, m_session->values(first, key), false};
        for (const RowId id : std::as_const(present)) {
            if (m_session->row(id)->values(key) != entry.values) {
                entry.differs = true;
                break;
            }
        }
        found.append(entry);
    }
    for (const QString &key : m_added) {
        if (std::none_of(found.cbegin(), found.cend(),
                         [&](const Entry &entry) { return entry.key == key; }))
            found.append({key, {}, false});
    }
    return found;
}

void SelectionTagsModel::refresh(const QList<RowId> &changed)
{
    if (std::any_of(changed.cbegin(), changed.cend(),
                    [this](RowId id) { return m_selected.contains(id); }))
        sync();
}

// Brings the rows up to the session, in place: an editor open on a row stays open.
void SelectionTagsModel::sync()
{
    const QList<Entry> now = entries();
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        const QString &key = m_entries.at(i).key;
        if (std::none_of(now.cbegin(), now.cend(),
                         [&](const Entry &entry) { return entry.key == key; })) {
            beginRemoveRows(QModelIndex(), int(i), int(i));
            m_entries.removeAt(i);
            endRemoveRows();
        }
    }
    for (const Entry &entry : now) {
        const int at = rowOf(entry.key);
        if (at < 0) {
            beginInsertRows(QModelIndex(), rowCount(), rowCount());
            m_entries.append(entry);
            endInsertRows();
        } else if (m_entries.at(at).values != entry.values
                   || m_entries.at(at).differs != entry.differs) {
            m_entries[at] = entry;
            emit dataChanged(index(at, ValueColumn), index(at, ValueColumn));
        }
    }
}

int SelectionTagsModel::rowOf(const QString &key) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).key == key)
            return int(i);
    }
    return -1;
}

int SelectionTagsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int SelectionTagsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant SelectionTagsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Entry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (index.column() == FieldColumn)
            return labelOf(entry.key);
        return entry.differs ? differentValues() : entry.values.join(QLatin1Char('\n'));
    case Qt::ToolTipRole:
        return entry.key;
    case KeyRole:
        return entry.key;
    case DiffersRole:
        return entry.differs;
    default:
        return QVariant();
    }
}

bool SelectionTagsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || index.column() != ValueColumn || !m_session
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const Entry &entry = m_entries.at(index.row());
    const QString text = value.toString();
    // An editor left as it opened changes nothing, the files that differ least of all.
    if (text == data(index, Qt::EditRole).toString())
        return true;
    QStringList values = text.split(QLatin1Char('\n'));
    values.removeIf([](const QString &line) { return line.isEmpty(); });
    const QString key = entry.key;
    if (values.isEmpty())
        m_session->removeKey(m_selection, key);
    else
        m_session->setValues(m_selection, key, values);
    return true;
}

Qt::ItemFlags SelectionTagsModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.isValid() && index.column() == ValueColumn ? flags | Qt::ItemIsEditable : flags;
}

QVariant SelectionTagsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == FieldColumn ? tr("Field") : tr("Value");
}

int SelectionTagsModel::addField(const QString &key)
{
    const QString upper = key.trimmed().toUpper();
    if (upper.isEmpty() || m_selection.isEmpty())
        return -1;
    if (const int at = rowOf(upper); at >= 0)
        return at;
    m_added.append(upper);
    beginInsertRows(QModelIndex(), rowCount(), rowCount());
    m_entries.append({upper, {}, false});
    endInsertRows();
    return rowCount() - 1;
}

void SelectionTagsModel::removeField(int row)
{
    if (row < 0 || row >= rowCount() || !m_session)
        return;
    const QString key = m_entries.at(row).key;
    m_added.removeAll(key);
    m_session->removeKey(m_selection, key);
    sync();
}
