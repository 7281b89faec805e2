#include "selectiontagsmodel.h"

#include "fieldtable.h"
#include "tagsession.h"

#include <algorithm>

namespace {

// The values a row holds now, without a copy: thousands of rows are compared at once.
const QStringList &held(const SessionRow &row, const QString &key)
{
    static const QStringList none;
    const auto edit = row.edits.constFind(key);
    if (edit != row.edits.cend())
        return *edit;
    const auto read = row.read.constFind(key);
    return read != row.read.cend() ? *read : none;
}

} // namespace

SelectionTagsModel::SelectionTagsModel(TagSession *session, QObject *parent)
    : QAbstractTableModel(parent)
    , m_session(session)
{
    connect(session, &TagSession::keysChanged, this, &SelectionTagsModel::refresh);
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

QList<const SessionRow *> SelectionTagsModel::presentRows() const
{
    QList<const SessionRow *> rows;
    if (!m_session)
        return rows;
    rows.reserve(m_selection.size());
    for (const RowId id : m_selection) {
        if (const SessionRow *found = m_session->row(id))
            rows.append(found);
    }
    return rows;
}

QList<SelectionTagsModel::Entry> SelectionTagsModel::entries() const
{
    QList<Entry> found;
    if (!m_session || m_selection.isEmpty())
        return found;
    const QList<const SessionRow *> rows = presentRows();
    if (rows.isEmpty())
        return found;
    // Rows holding what the first one holds, in its order, add no key and differ in none: a
    // folder's files mostly do, and thousands are selected at once.
    const SessionRow &first = *rows.first();
    QList<const SessionRow *> others;
    QList<RowId> present {first.id};
    for (const SessionRow *row : rows) {
        if (row->order != first.order || row->edits != first.edits || row->read != first.read) {
            others.append(row);
            present.append(row->id);
        }
    }
    for (const QString &key : m_session->keys(present)) {
        Entry entry {key, held(first, key), false};
        entry.differs = std::any_of(others.cbegin(), others.cend(), [&](const SessionRow *row) {
            return held(*row, key) != entry.values;
        });
        found.append(entry);
    }
    for (const QString &key : m_added) {
        if (std::none_of(found.cbegin(), found.cend(),
                         [&](const Entry &entry) { return entry.key == key; }))
            found.append({key, {}, false});
    }
    return found;
}

// Only the keys that changed, and the rows that did where that tells: typing into thousands of
// selected rows must not compare every key of every row each time.
void SelectionTagsModel::refresh(const QList<RowId> &changed, const QStringList &keys)
{
    if (keys.isEmpty() || !m_session)
        return;
    QList<const SessionRow *> rows;
    for (const RowId id : changed) {
        if (!m_selected.contains(id))
            continue;
        if (const SessionRow *found = m_session->row(id))
            rows.append(found);
    }
    if (rows.isEmpty())
        return;
    const SessionRow *first = nullptr;
    for (const RowId id : std::as_const(m_selection)) {
        if ((first = m_session->row(id)))
            break;
    }
    for (const QString &key : keys) {
        if (!refreshKey(key, rows, first)) {
            sync();
            return;
        }
    }
}

// False when the rows of the table must be looked at anew.
bool SelectionTagsModel::refreshKey(const QString &key, const QList<const SessionRow *> &changed,
                                    const SessionRow *first)
{
    const int at = rowOf(key);
    if (at < 0) {
        // A key new to the selection.
        return std::all_of(changed.cbegin(), changed.cend(),
                           [&](const SessionRow *row) { return held(*row, key).isEmpty(); });
    }
    const Entry &entry = m_entries.at(at);
    const QStringList &values = first ? held(*first, key) : QStringList();
    const auto differ = [&](const QList<const SessionRow *> &rows) {
        return std::any_of(rows.cbegin(), rows.cend(),
                           [&](const SessionRow *row) { return held(*row, key) != values; });
    };
    bool differs = false;
    if (values == entry.values && !entry.differs)
        differs = differ(changed); // the others still hold the first row's values
    else if (values == entry.values && differ(changed))
        differs = true;
    else
        differs = differ(presentRows());
    if (values.isEmpty() && !differs && !m_added.contains(key))
        return false; // no file holds it now
    if (values != entry.values || differs != entry.differs) {
        m_entries[at] = {key, values, differs};
        emit dataChanged(index(at, ValueColumn), index(at, ValueColumn));
    }
    return true;
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
