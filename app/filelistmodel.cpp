#include "filelistmodel.h"

#include <QFileInfo>
#include <QFont>

#include <algorithm>
#include <functional>

namespace {

// The form's fields (indices into tagFields) in the order of their columns in the field table,
// as people read an album: title, artist, album, year, track, genre, then the comment.
constexpr std::array<std::size_t, tagFields.size()> fieldsByColumn()
{
    std::array<std::size_t, tagFields.size()> order {};
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    for (std::size_t i = 1; i < order.size(); ++i) {
        for (std::size_t j = i;
             j > 0 && quillet::formField(order[j]).column < quillet::formField(order[j - 1]).column;
             --j) {
            const std::size_t moved = order[j];
            order[j] = order[j - 1];
            order[j - 1] = moved;
        }
    }
    return order;
}
constexpr std::array<std::size_t, tagFields.size()> columnFields = fieldsByColumn();

// The list shows the seven right after the file name, the cover after them: the table's column
// numbers of the seven must be 1 to 7.
constexpr bool columnsFollowTable()
{
    for (std::size_t i = 0; i < columnFields.size(); ++i) {
        if (quillet::formField(columnFields[i]).column != int(i) + 1)
            return false;
    }
    return true;
}
static_assert(columnsFollowTable(), "fieldtable.def: the form's seven must have columns 1 to 7");

std::size_t fieldIndex(const TagField &field)
{
    return std::size_t(&field - tagFields.data());
}

} // namespace

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const TagField *FileListModel::fieldOf(int column)
{
    if (column <= FileNameColumn || column >= CoverColumn)
        return nullptr;
    return &tagFields[columnFields[std::size_t(column - 1)]];
}

int FileListModel::columnOf(const TagField &field)
{
    const auto at = std::find(columnFields.begin(), columnFields.end(), fieldIndex(field));
    return 1 + int(at - columnFields.begin());
}

QString FileListModel::fileNameText(const Row &row) const
{
    QString text = QFileInfo(row.file.path).fileName();
    if (row.modified)
        text += QLatin1Char('*');
    if (!row.file.problem.isEmpty())
        text += QStringLiteral(": ") + row.file.problem;
    return text;
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const Row &row = m_rows[std::size_t(index.row())];
    const int column = index.column();
    const TagField *field = fieldOf(column);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (field)
            return row.file.texts[fieldIndex(*field)];
        if (column == CoverColumn)
            return coverId(index.row()) != 0 ? tr("yes") : tr("no");
        return fileNameText(row);
    case SortRole:
        if (field && field->isNumber)
            return row.file.texts[fieldIndex(*field)].toLongLong();
        if (field)
            return row.file.texts[fieldIndex(*field)];
        if (column == CoverColumn)
            return coverId(index.row()) != 0;
        return QFileInfo(row.file.path).fileName();
    case Qt::FontRole:
        if (row.modified) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    case Qt::ToolTipRole:
        return row.file.problem.isEmpty() ? row.file.path
                                          : row.file.path + QLatin1Char('\n') + row.file.problem;
    default:
        return QVariant();
    }
}

bool FileListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const TagField *field = fieldOf(index.column());
    if (role != Qt::EditRole || !field || !index.isValid() || index.row() >= rowCount())
        return false;
    setText(index.row(), *field, value.toString());
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return fieldOf(index.column()) ? flags | Qt::ItemIsEditable : flags;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (const TagField *field = fieldOf(section))
        return tr(field->label);
    return section == FileNameColumn ? tr("File name") : tr("Cover");
}

void FileListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    changeModifiedCount(-m_modifiedCount);
}

void FileListModel::append(const std::vector<FileEntry> &entries, std::size_t from, std::size_t to)
{
    if (to <= from)
        return;
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + int(to - from) - 1);
    for (std::size_t i = from; i < to; ++i)
        m_rows.push_back(Row {entries[i], QByteArray(), 0, false, {}});
    endInsertRows();
}

void FileListModel::remove(QList<int> rows)
{
    // From the last, so that the rows still to go keep their numbers; neighbours go together,
    // as each removal costs the views a pass over every row (Ctrl+A, Delete on thousands).
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](int row) { return row < 0 || row >= rowCount(); });
    int unmodified = 0;
    for (qsizetype i = 0; i < rows.size();) {
        const int last = rows.at(i);
        int first = last;
        for (++i; i < rows.size() && rows.at(i) == first - 1; ++i)
            first = rows.at(i);
        const auto begin = m_rows.begin() + first;
        const auto end = m_rows.begin() + last + 1;
        beginRemoveRows(QModelIndex(), first, last);
        unmodified -= int(std::count_if(begin, end, [](const Row &row) { return row.modified; }));
        m_rows.erase(begin, end);
        endRemoveRows();
    }
    changeModifiedCount(unmodified);
}

QString FileListModel::path(int row) const
{
    return m_rows.at(std::size_t(row)).file.path;
}

void FileListModel::setPath(int row, const QString &path)
{
    m_rows.at(std::size_t(row)).file.path = path;
    rowChanged(row);
}

QString FileListModel::text(int row, const TagField &field) const
{
    return m_rows.at(std::size_t(row)).file.texts[fieldIndex(field)];
}

bool FileListModel::changeText(int row, const TagField &field, const QString &text)
{
    QString &now = m_rows.at(std::size_t(row)).file.texts[fieldIndex(field)];
    if (now == text)
        return false;
    now = text;
    m_rows[std::size_t(row)].edited.set(fieldIndex(field));
    setModified(row);
    return true;
}

void FileListModel::setText(int row, const TagField &field, const QString &text)
{
    if (changeText(row, field, text))
        rowChanged(row);
}

void FileListModel::setText(const QList<int> &rows, const TagField &field, const QString &text)
{
    // One signal for the lot: a keystroke in the form goes to every selected row.
    QList<int> changed;
    for (const int row : rows) {
        if (changeText(row, field, text))
            changed.append(row);
    }
    rowsChanged(changed);
}

void FileListModel::setNewCover(const QList<int> &rows, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    // Hashed once, however many rows share the bytes.
    const quint64 id = FileEntry::coverIdOf(bytes);
    for (const int row : rows) {
        Row &changed = m_rows.at(std::size_t(row));
        changed.newCover = bytes;
        changed.newCoverId = id;
        setModified(row);
    }
    rowsChanged(rows);
}

QByteArray FileListModel::newCover(int row) const
{
    return m_rows.at(std::size_t(row)).newCover;
}

quint64 FileListModel::coverId(int row) const
{
    const Row &shown = m_rows.at(std::size_t(row));
    return shown.newCover.isEmpty() ? shown.file.coverId : shown.newCoverId;
}

FieldTexts FileListModel::texts(int row) const
{
    return m_rows.at(std::size_t(row)).file.texts;
}

TagEdit FileListModel::edit(int row) const
{
    const Row &edited = m_rows.at(std::size_t(row));
    TagEdit edit;
    for (std::size_t i = 0; i < tagFields.size(); ++i) {
        if (edited.edited.test(i))
            edit.setText(tagFields[i], edited.file.texts[i]);
    }
    edit.setCover(edited.newCover);
    return edit;
}

QList<FileFields> FileListModel::fileFields(const QList<int> &rows) const
{
    QList<FileFields> files;
    files.reserve(rows.size());
    for (const int row : rows)
        files.append({path(row), texts(row), m_rows.at(std::size_t(row)).file.root});
    return files;
}

int FileListModel::rowOf(const QString &path) const
{
    const auto found = std::find_if(m_rows.begin(), m_rows.end(),
                                    [&path](const Row &row) { return row.file.path == path; });
    return found == m_rows.end() ? -1 : int(found - m_rows.begin());
}

bool FileListModel::isModified(int row) const
{
    return m_rows.at(std::size_t(row)).modified;
}

QList<int> FileListModel::modifiedRows() const
{
    QList<int> rows;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].modified)
            rows.append(int(i));
    }
    return rows;
}

void FileListModel::replace(int row, const FileEntry &entry)
{
    Row &replaced = m_rows.at(std::size_t(row));
    const bool wasModified = replaced.modified;
    const QString root = replaced.file.root;
    replaced = Row {entry, QByteArray(), 0, false, {}};
    replaced.file.root = root;
    rowChanged(row);
    if (wasModified)
        changeModifiedCount(-1);
}

void FileListModel::setProblem(int row, const QString &problem)
{
    m_rows.at(std::size_t(row)).file.problem = problem;
    rowChanged(row);
}

QString FileListModel::problem(int row) const
{
    return m_rows.at(std::size_t(row)).file.problem;
}

void FileListModel::setModified(int row)
{
    Row &changed = m_rows.at(std::size_t(row));
    if (changed.modified)
        return;
    changed.modified = true;
    changeModifiedCount(1);
}

void FileListModel::changeModifiedCount(int by)
{
    const bool before = anyModified();
    m_modifiedCount += by;
    if (before != anyModified())
        emit modificationChanged(anyModified());
}

void FileListModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void FileListModel::rowsChanged(const QList<int> &rows)
{
    if (rows.isEmpty())
        return;
    const auto [first, last] = std::minmax_element(rows.begin(), rows.end());
    emit dataChanged(index(*first, 0), index(*last, ColumnCount - 1));
}
