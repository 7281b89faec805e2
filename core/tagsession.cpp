#include "tagsession.h"

#include "fieldtable.h"

#include <QFileInfo>
#include <QFont>
#include <QUndoCommand>
#include <QUndoStack>
#include <QtConcurrent>

#include <algorithm>

namespace {

QString latin(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

const quillet::KnownField *knownField(const QString &key)
{
    for (const quillet::KnownField &field : quillet::knownFields) {
        if (latin(field.key) == key)
            return &field;
    }
    return nullptr;
}

// The whole number a value starts with ("3" of "3/12"); 0 when it starts with none.
qlonglong leadingNumber(const QString &text)
{
    qsizetype end = 0;
    while (end < text.size() && text.at(end).isDigit())
        ++end;
    return QStringView(text).left(end).toLongLong();
}

QString joined(const QStringList &values)
{
    return values.join(QLatin1String("; "));
}

// The session's undo steps. Typing into one field of the same rows goes into one step.
constexpr int typingId = 1;

} // namespace

class SessionCommand : public QUndoCommand
{
public:
    SessionCommand(TagSession *session, QList<TagSession::Change> changes,
                   QList<TagSession::CoverChange> covers, const QString &text, int mergeId)
        : QUndoCommand(text)
        , m_session(session)
        , m_changes(std::move(changes))
        , m_covers(std::move(covers))
        , m_mergeId(mergeId)
    { }

    void redo() override
    {
        m_session->applyChanges(m_changes, true);
        m_session->applyCoverChanges(m_covers, true);
    }
    void undo() override
    {
        m_session->applyChanges(m_changes, false);
        m_session->applyCoverChanges(m_covers, false);
    }
    int id() const override { return m_mergeId; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const SessionCommand *>(other);
        if (next->m_changes.size() != m_changes.size() || !m_covers.isEmpty()
            || !next->m_covers.isEmpty())
            return false;
        for (qsizetype i = 0; i < m_changes.size(); ++i) {
            if (m_changes[i].id != next->m_changes[i].id
                || m_changes[i].key != next->m_changes[i].key)
                return false;
        }
        for (qsizetype i = 0; i < m_changes.size(); ++i)
            m_changes[i].after = next->m_changes[i].after;
        return true;
    }

private:
    TagSession *m_session;
    QList<TagSession::Change> m_changes;
    QList<TagSession::CoverChange> m_covers;
    int m_mergeId;
};

class RenameCommand : public QUndoCommand
{
public:
    RenameCommand(TagSession *session, const QList<QPair<RowId, QString>> &renames)
        : QUndoCommand(TagSession::tr("Rename files"))
        , m_session(session)
        , m_renames(renames)
    { }

    void redo() override
    {
        m_done.clear();
        for (const auto &[id, to] : std::as_const(m_renames)) {
            const SessionRow *row = m_session->row(id);
            if (!row || row->path == to)
                continue;
            Done done {id, {}, row->audio};
            const int error = renameFile(row->path, to, &done.rename);
            if (error != 0) {
                emit m_session->renameFailed(row->path, renameFailure(error));
                continue;
            }
            m_session->setRowPath(id, to);
            m_done.append(done);
        }
        m_session->m_lastRenamed = int(m_done.size());
        // Nothing renamed leaves nothing to undo.
        setObsolete(m_done.isEmpty());
    }
    void undo() override
    {
        for (qsizetype i = m_done.size() - 1; i >= 0; --i) {
            const Done &done = m_done.at(i);
            const int error = undoRename(done.rename, done.audio);
            if (error != 0) {
                emit m_session->renameFailed(done.rename.to, renameFailure(error));
                continue;
            }
            if (m_session->contains(done.id))
                m_session->setRowPath(done.id, done.rename.from);
        }
        m_done.clear();
    }

private:
    struct Done
    {
        RowId id;
        RenameDone rename;
        QString audio;
    };
    TagSession *m_session;
    QList<QPair<RowId, QString>> m_renames;
    QList<Done> m_done;
};

TagSession::TagSession(QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(defaultColumnKeys())
    , m_undo(new QUndoStack(this))
{
    describeColumns();
    connect(&m_reading, &QFutureWatcher<SessionRead>::resultsReadyAt, this,
            &TagSession::appendRead);
    connect(&m_reading, &QFutureWatcher<SessionRead>::finished, this, &TagSession::readingDone);
    connect(&m_saving, &QFutureWatcher<SaveResult>::resultsReadyAt, this, &TagSession::savedAt);
    connect(&m_saving, &QFutureWatcher<SaveResult>::finished, this, &TagSession::savingDone);
    connect(&m_details, &QFutureWatcher<Details>::finished, this, [this] {
        const Details details = m_details.result();
        if (details.id == m_detailsWanted)
            emit detailsRead(details.id, details.report, details.cover);
    });
}

TagSession::~TagSession()
{
    // The workers hold copies of what they work on: they only have to end before the pool.
    m_reading.cancel();
    m_saving.cancel();
    m_pool.waitForDone();
    m_details.waitForFinished();
}

QStringList TagSession::defaultColumnKeys()
{
    QList<const quillet::KnownField *> fields;
    for (const quillet::KnownField &field : quillet::knownFields) {
        if (field.form >= 0)
            fields.append(&field);
    }
    std::sort(fields.begin(), fields.end(),
              [](const auto *a, const auto *b) { return a->column < b->column; });
    QStringList keys;
    for (const quillet::KnownField *field : fields)
        keys.append(latin(field->key));
    return keys;
}

void TagSession::setColumnKeys(const QStringList &keys)
{
    beginResetModel();
    m_columns = keys;
    describeColumns();
    endResetModel();
}

void TagSession::describeColumns()
{
    // Looked up once: sorting asks for every row's value many times over.
    m_numeric.clear();
    m_labels.clear();
    for (const QString &key : std::as_const(m_columns)) {
        const quillet::KnownField *field = knownField(key);
        m_numeric.append(field && field->kind != quillet::FieldKind::Text);
        m_labels.append(field ? tr(field->label) : key);
    }
}

QString TagSession::keyOf(int column) const
{
    return column >= 1 && column <= m_columns.size() ? m_columns.at(column - 1) : QString();
}

int TagSession::columnOf(const QString &key) const
{
    const qsizetype at = m_columns.indexOf(key);
    return at < 0 ? -1 : int(at) + 1;
}

int TagSession::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TagSession::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : coverColumn() + 1;
}

QString TagSession::fileNameText(const SessionRow &row) const
{
    QString text = QFileInfo(row.path).fileName();
    if (row.modified)
        text += QLatin1Char('*');
    if (!row.problem.isEmpty())
        text += QStringLiteral(": ") + row.problem;
    return text;
}

QVariant TagSession::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const SessionRow &row = m_rows[std::size_t(index.row())];
    const int column = index.column();
    const QString key = keyOf(column);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (!key.isEmpty())
            return joined(row.values(key));
        if (column == coverColumn())
            return coverId(row.id) != 0 ? tr("yes") : tr("no");
        return fileNameText(row);
    case SortRole:
        if (!key.isEmpty()) {
            if (m_numeric.at(column - 1))
                return leadingNumber(row.values(key).value(0));
            return joined(row.values(key));
        }
        if (column == coverColumn())
            return coverId(row.id) != 0;
        return QFileInfo(row.path).fileName();
    case RowIdRole:
        return row.id;
    case Qt::FontRole:
        if (row.modified) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    case Qt::ToolTipRole:
        return row.problem.isEmpty() ? row.path : row.path + QLatin1Char('\n') + row.problem;
    default:
        return QVariant();
    }
}

bool TagSession::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const QString key = keyOf(index.column());
    if (role != Qt::EditRole || key.isEmpty()
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setText({idAt(index.row())}, key, value.toString());
    return true;
}

Qt::ItemFlags TagSession::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return keyOf(index.column()).isEmpty() ? flags : flags | Qt::ItemIsEditable;
}

QVariant TagSession::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const QString key = keyOf(section);
    if (!key.isEmpty())
        return m_labels.at(section - 1);
    return section == FileNameColumn ? tr("File name") : tr("Cover");
}

void TagSession::open(const QList<SessionFile> &files)
{
    clear();
    m_readFiles = files;
    m_readPending = true;
    QStringList paths;
    paths.reserve(files.size());
    for (const SessionFile &file : files)
        paths.append(file.path);
    m_reading.setFuture(QtConcurrent::mapped(&m_pool, paths, &SessionRead::of));
}

void TagSession::clear()
{
    m_reading.cancel();
    m_reading.setFuture(QFuture<SessionRead>());
    if (m_saveStop)
        *m_saveStop = true;
    m_saving.cancel();
    m_saving.setFuture(QFuture<SaveResult>());
    m_saveQueued.clear();
    m_saveJobs.clear();
    m_readFiles.clear();
    m_readPending = false;
    m_appended = 0;
    m_undo->clear();
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    endResetModel();
    changeModifiedCount(-m_modifiedCount);
}

void TagSession::cancel()
{
    m_reading.cancel();
    // Not the future's cancel, which would drop the results of files saved meanwhile.
    if (m_saveStop)
        *m_saveStop = true;
    m_saveQueued.clear();
}

void TagSession::appendRead(int, int)
{
    const QFuture<SessionRead> future = m_reading.future();
    int end = m_appended;
    while (end < m_readFiles.size() && future.isResultReadyAt(end))
        ++end;
    if (end == m_appended)
        return;
    // Rows come in the files' order: a file still being read holds back those after it.
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + (end - m_appended) - 1);
    for (int i = m_appended; i < end; ++i) {
        SessionRow row = readRow(m_readFiles.at(i), future.resultAt(i));
        m_index.insert(row.id, int(m_rows.size()));
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
    m_appended = end;
    emit readProgress(m_appended, m_readFiles.size());
}

SessionRow TagSession::readRow(const SessionFile &file, const SessionRead &read)
{
    SessionRow row;
    row.id = m_nextId++;
    row.path = file.path;
    row.root = file.root;
    row.problem = read.problem;
    row.audio = read.audio;
    row.coverId = read.coverId;
    for (const SessionValue &value : read.values) {
        row.read.insert(value.key, value.values);
        row.order.append(value.key);
    }
    return row;
}

void TagSession::openNow(const QList<SessionFile> &files)
{
    clear();
    if (files.isEmpty())
        return;
    beginInsertRows(QModelIndex(), 0, int(files.size()) - 1);
    for (const SessionFile &file : files) {
        SessionRow row = readRow(file, SessionRead::of(file.path));
        m_index.insert(row.id, int(m_rows.size()));
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
    emit readProgress(files.size(), files.size());
    emit readFinished();
}

void TagSession::readingDone()
{
    // Not for a reading dropped: its end may come after the session was emptied.
    if (!std::exchange(m_readPending, false))
        return;
    appendRead(0, 0);
    emit readFinished();
}

QList<RowId> TagSession::allIds() const
{
    QList<RowId> ids;
    ids.reserve(qsizetype(m_rows.size()));
    for (const SessionRow &row : m_rows)
        ids.append(row.id);
    return ids;
}

const SessionRow *TagSession::row(RowId id) const
{
    const int at = rowOf(id);
    return at < 0 ? nullptr : &m_rows[std::size_t(at)];
}

SessionRow *TagSession::mutableRow(RowId id)
{
    const int at = rowOf(id);
    return at < 0 ? nullptr : &m_rows[std::size_t(at)];
}

QString TagSession::path(RowId id) const
{
    const SessionRow *found = row(id);
    return found ? found->path : QString();
}

QStringList TagSession::values(RowId id, const QString &key) const
{
    const SessionRow *found = row(id);
    return found ? found->values(key.toUpper()) : QStringList();
}

QString TagSession::text(RowId id, const QString &key) const
{
    return joined(values(id, key));
}

QStringList TagSession::keys(const QList<RowId> &ids) const
{
    QStringList keys;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        for (const QString &key : found->order) {
            if (!found->values(key).isEmpty() && !keys.contains(key))
                keys.append(key);
        }
    }
    return keys;
}

QList<FileFields> TagSession::fileFields(const QList<RowId> &ids) const
{
    QList<FileFields> files;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        FileFields file {found->path, {}, found->root};
        for (std::size_t i = 0; i < tagFields.size(); ++i) {
            const QString value = text(id, latin(quillet::formField(i).key));
            file.texts[i] = tagFields[i].isNumber && !value.isEmpty()
                    ? QString::number(leadingNumber(value))
                    : value;
        }
        files.append(file);
    }
    return files;
}

quint64 TagSession::coverId(RowId id) const
{
    const SessionRow *found = row(id);
    if (!found)
        return 0;
    return found->newCover.isEmpty() ? found->coverId : found->newCoverId;
}

QByteArray TagSession::newCover(RowId id) const
{
    const SessionRow *found = row(id);
    return found ? found->newCover : QByteArray();
}

bool TagSession::isModified(RowId id) const
{
    const SessionRow *found = row(id);
    return found && found->modified;
}

QList<RowId> TagSession::modifiedIds() const
{
    QList<RowId> ids;
    for (const SessionRow &row : m_rows) {
        if (row.modified)
            ids.append(row.id);
    }
    return ids;
}

void TagSession::pushChanges(QList<Change> changes, const QString &text, int mergeId)
{
    changes.removeIf([](const Change &change) { return change.before == change.after; });
    if (changes.isEmpty())
        return;
    m_undo->push(new SessionCommand(this, std::move(changes), {}, text, mergeId));
}

void TagSession::setValues(const QList<RowId> &ids, const QString &key, const QStringList &values)
{
    const QString upper = key.toUpper();
    QList<Change> changes;
    for (const RowId id : ids) {
        if (const SessionRow *found = row(id))
            changes.append({id, upper, found->values(upper), values});
    }
    pushChanges(changes, tr("Set %1").arg(upper));
}

void TagSession::setText(const QList<RowId> &ids, const QString &key, const QString &text)
{
    const QString upper = key.toUpper();
    const QStringList values = text.isEmpty() ? QStringList() : QStringList {text};
    QList<Change> changes;
    for (const RowId id : ids) {
        if (const SessionRow *found = row(id))
            changes.append({id, upper, found->values(upper), values});
    }
    pushChanges(changes, tr("Type in %1").arg(upper), typingId);
}

void TagSession::removeKey(const QList<RowId> &ids, const QString &key)
{
    const QString upper = key.toUpper();
    QList<Change> changes;
    for (const RowId id : ids) {
        if (const SessionRow *found = row(id))
            changes.append({id, upper, found->values(upper), {}});
    }
    pushChanges(changes, tr("Remove %1").arg(upper));
}

void TagSession::applyValues(const QList<QPair<RowId, QList<SessionValue>>> &values,
                             const QString &undoText)
{
    QList<Change> changes;
    for (const auto &[id, rowValues] : values) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        for (const SessionValue &value : rowValues) {
            const QString upper = value.key.toUpper();
            changes.append({id, upper, found->values(upper), value.values});
        }
    }
    pushChanges(changes, undoText);
}

void TagSession::setCover(const QList<RowId> &ids, const QByteArray &bytes)
{
    QList<QPair<RowId, QByteArray>> covers;
    for (const RowId id : ids)
        covers.append({id, bytes});
    applyCovers(covers, tr("Choose cover"));
}

void TagSession::applyCovers(const QList<QPair<RowId, QByteArray>> &covers, const QString &undoText)
{
    QList<CoverChange> changes;
    for (const auto &[id, bytes] : covers) {
        const SessionRow *found = row(id);
        if (found && !bytes.isEmpty() && found->newCover != bytes)
            changes.append({id, found->newCover, bytes});
    }
    if (!changes.isEmpty())
        m_undo->push(new SessionCommand(this, {}, std::move(changes), undoText, -1));
}

void TagSession::dropCover(const QList<RowId> &ids)
{
    QList<CoverChange> changes;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (found && !found->newCover.isEmpty())
            changes.append({id, found->newCover, {}});
    }
    if (!changes.isEmpty())
        m_undo->push(new SessionCommand(this, {}, std::move(changes), tr("Drop cover"), -1));
}

void TagSession::numberTracks(const QList<RowId> &ids)
{
    static const QString trackKey = QStringLiteral("TRACKNUMBER");
    static const QString discKey = QStringLiteral("DISCNUMBER");
    QList<RowId> present;
    QList<qlonglong> discs;
    QHash<qlonglong, int> discSizes;
    for (const RowId id : ids) {
        if (!row(id))
            continue;
        const qlonglong disc = leadingNumber(values(id, discKey).value(0));
        present.append(id);
        discs.append(disc);
        ++discSizes[disc];
    }
    QHash<qlonglong, int> numbered;
    QList<Change> changes;
    for (qsizetype i = 0; i < present.size(); ++i) {
        const int number = ++numbered[discs[i]];
        const QString value = QStringLiteral("%1/%2").arg(number).arg(discSizes.value(discs[i]));
        changes.append({present[i], trackKey, values(present[i], trackKey), {value}});
    }
    pushChanges(changes, tr("Number tracks"));
}

int TagSession::tagsFromNames(const NamePattern &pattern, const QList<RowId> &ids)
{
    int matched = 0;
    QList<Change> changes;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        QString error;
        const std::optional<QList<FieldValue>> fields = pattern.fieldsFrom(found->path, &error);
        if (!fields)
            continue;
        ++matched;
        for (const FieldValue &field : *fields) {
            const QString key = latin(quillet::formField(field.field).key);
            changes.append({id, key, found->values(key), {field.text}});
        }
    }
    pushChanges(changes, tr("Tags from file names"));
    return matched;
}

int TagSession::rename(const QList<QPair<RowId, QString>> &renames)
{
    // The stack renames as it takes the step, and drops it when nothing was renamed.
    m_lastRenamed = 0;
    m_undo->push(new RenameCommand(this, renames));
    return m_lastRenamed;
}

void TagSession::remove(const QList<RowId> &ids)
{
    QList<int> rows;
    for (const RowId id : ids) {
        const int at = rowOf(id);
        if (at >= 0)
            rows.append(at);
    }
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    int unmodified = 0;
    // Neighbours go together: each removal costs the views a pass over every row.
    for (qsizetype i = 0; i < rows.size();) {
        const int last = rows.at(i);
        int first = last;
        for (++i; i < rows.size() && rows.at(i) == first - 1; ++i)
            first = rows.at(i);
        const auto begin = m_rows.begin() + first;
        const auto end = m_rows.begin() + last + 1;
        beginRemoveRows(QModelIndex(), first, last);
        unmodified -= int(
                std::count_if(begin, end, [](const SessionRow &row) { return row.modified; }));
        m_rows.erase(begin, end);
        rebuildIndex();
        endRemoveRows();
    }
    changeModifiedCount(unmodified);
}

void TagSession::rebuildIndex()
{
    m_index.clear();
    m_index.reserve(qsizetype(m_rows.size()));
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_index.insert(m_rows[i].id, int(i));
}

void TagSession::applyChanges(const QList<Change> &changes, bool after)
{
    QList<RowId> changed;
    for (const Change &change : changes) {
        SessionRow *found = mutableRow(change.id);
        if (!found)
            continue;
        setRowValues(*found, change.key, after ? change.after : change.before);
        if (changed.isEmpty() || changed.constLast() != change.id)
            changed.append(change.id);
    }
    rowsChanged(changed);
}

void TagSession::applyCoverChanges(const QList<CoverChange> &changes, bool after)
{
    QList<RowId> changed;
    for (const CoverChange &change : changes) {
        if (SessionRow *found = mutableRow(change.id)) {
            setRowCover(*found, after ? change.after : change.before);
            changed.append(change.id);
        }
    }
    rowsChanged(changed);
}

void TagSession::setRowValues(SessionRow &row, const QString &key, const QStringList &values)
{
    if (values == row.read.value(key))
        row.edits.remove(key);
    else
        row.edits.insert(key, values);
    if (!row.order.contains(key))
        row.order.append(key);
    refreshModified(row);
}

void TagSession::setRowCover(SessionRow &row, const QByteArray &bytes)
{
    row.newCover = bytes;
    row.newCoverId = sessionCoverId(bytes);
    refreshModified(row);
}

void TagSession::setRowPath(RowId id, const QString &path)
{
    if (SessionRow *found = mutableRow(id)) {
        found->path = path;
        found->problem.clear();
        rowsChanged({id});
    }
}

void TagSession::refreshModified(SessionRow &row)
{
    const bool modified = !row.edits.isEmpty() || !row.newCover.isEmpty();
    if (modified == row.modified)
        return;
    row.modified = modified;
    changeModifiedCount(modified ? 1 : -1);
}

void TagSession::changeModifiedCount(int by)
{
    const bool before = anyModified();
    m_modifiedCount += by;
    if (before != anyModified())
        emit modificationChanged(anyModified());
}

void TagSession::rowsChanged(const QList<RowId> &ids)
{
    if (ids.isEmpty())
        return;
    int first = rowCount();
    int last = -1;
    for (const RowId id : ids) {
        const int at = rowOf(id);
        if (at < 0)
            continue;
        first = qMin(first, at);
        last = qMax(last, at);
    }
    if (last >= 0)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    emit valuesChanged(ids);
}

void TagSession::save(const QList<RowId> &ids)
{
    if (m_saving.isRunning()) {
        m_saveQueued.append(ids);
        return;
    }
    m_saveJobs = saveJobs(ids);
    m_saveStop = std::make_shared<std::atomic<bool>>(false);
    for (SaveJob &job : m_saveJobs)
        job.stop = m_saveStop;
    if (m_saveJobs.isEmpty()) {
        const int failed = m_saveFailed;
        m_saveFailed = 0;
        m_savedCount = 0;
        emit saveFinished(failed);
        return;
    }
    m_saving.setFuture(QtConcurrent::mapped(&m_pool, m_saveJobs, &TagSession::runSave));
}

QList<TagSession::SaveJob> TagSession::saveJobs(const QList<RowId> &ids) const
{
    QList<SaveJob> jobs;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found || !found->modified)
            continue;
        SaveJob job {id, found->path, {}, found->newCover, {}};
        for (auto edit = found->edits.cbegin(); edit != found->edits.cend(); ++edit)
            job.changes.append({edit.key(), edit.value()});
        jobs.append(job);
    }
    return jobs;
}

TagSession::SaveResult TagSession::runSave(const SaveJob &job)
{
    SaveResult result {job.id, 0, {}, {}};
    if (job.stop && *job.stop) {
        result.skipped = true;
        return result;
    }
    result.error = saveSessionFile(job.path, job.changes, job.cover, &result.reason);
    if (result.error == 0)
        result.read = SessionRead::of(job.path);
    return result;
}

int TagSession::saveNow(const QList<RowId> &ids, QString *reason)
{
    int error = 0;
    int failed = 0;
    QList<RowId> changed;
    for (const SaveJob &job : saveJobs(ids)) {
        const SaveResult result = runSave(job);
        if (result.error != 0 && failed++ == 0) {
            error = result.error;
            if (reason)
                *reason = result.reason;
        }
        applySaved(job, result);
        changed.append(job.id);
    }
    rowsChanged(changed);
    emit saveFinished(failed);
    return error;
}

void TagSession::savedAt(int begin, int end)
{
    QList<RowId> changed;
    for (int i = begin; i < end; ++i) {
        const SaveResult result = m_saving.resultAt(i);
        const SaveJob &job = m_saveJobs.at(i);
        if (result.skipped)
            continue;
        ++m_savedCount;
        if (result.error != 0)
            ++m_saveFailed;
        if (contains(result.id))
            changed.append(result.id);
        applySaved(job, result);
    }
    rowsChanged(changed);
    emit saveProgress(m_savedCount, m_savedCount + (m_saveJobs.size() - end));
}

void TagSession::applySaved(const SaveJob &job, const SaveResult &result)
{
    SessionRow *found = mutableRow(result.id);
    if (!found)
        return;
    if (result.error != 0) {
        found->problem = result.reason;
        return;
    }
    // What the file holds now is what the row was read as; a change typed while the save ran
    // stays a change.
    found->problem = result.read.problem;
    found->audio = result.read.audio;
    found->coverId = result.read.coverId;
    found->read.clear();
    for (const SessionValue &value : result.read.values) {
        found->read.insert(value.key, value.values);
        if (!found->order.contains(value.key))
            found->order.append(value.key);
    }
    for (const SessionValue &saved : job.changes) {
        if (found->edits.value(saved.key) == saved.values)
            found->edits.remove(saved.key);
    }
    for (auto edit = found->edits.begin(); edit != found->edits.end();) {
        if (edit.value() == found->read.value(edit.key()))
            edit = found->edits.erase(edit);
        else
            ++edit;
    }
    if (!job.cover.isEmpty() && found->newCover == job.cover) {
        found->newCover.clear();
        found->newCoverId = 0;
    }
    refreshModified(*found);
}

void TagSession::savingDone()
{
    m_saveJobs.clear();
    if (!m_saveQueued.isEmpty()) {
        const QList<RowId> next = std::exchange(m_saveQueued, {});
        save(next);
        return;
    }
    const int failed = m_saveFailed;
    m_saveFailed = 0;
    m_savedCount = 0;
    emit saveFinished(failed);
}

void TagSession::readDetails(RowId id)
{
    m_detailsWanted = id;
    const QString file = path(id);
    // Not the session's own pool: the report of the selection must not wait for a folder's
    // reading.
    m_details.setFuture(QtConcurrent::run([id, file] {
        Details details {id, {}, {}};
        readSessionDetails(file, &details.report, &details.cover);
        return details;
    }));
}
