#include "tagsession.h"

#include "fieldtable.h"
#include "tagrecord.h"

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
                   QList<TagSession::PictureChange> pictures, const QString &text, int mergeId)
        : QUndoCommand(text)
        , m_session(session)
        , m_changes(std::move(changes))
        , m_pictures(std::move(pictures))
        , m_mergeId(mergeId)
    { }

    void redo() override
    {
        m_session->applyChanges(m_changes, true);
        m_session->applyPictureChanges(m_pictures, true);
    }
    void undo() override
    {
        m_session->applyChanges(m_changes, false);
        m_session->applyPictureChanges(m_pictures, false);
    }
    int id() const override { return m_mergeId; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const SessionCommand *>(other);
        if (next->m_changes.size() != m_changes.size() || !m_pictures.isEmpty()
            || !next->m_pictures.isEmpty())
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
    QList<TagSession::PictureChange> m_pictures;
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
    m_keptBytes.clear();
    m_keptSize = 0;
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
    row.pictures = read.pictures;
    // The files of a folder mostly hold the same keys, and many the same values: the row before
    // lends them, so that thousands of rows hold them once and compare them at a glance.
    const SessionRow *before = m_rows.empty() ? nullptr : &m_rows.back();
    for (const SessionValue &value : read.values) {
        const auto lent = before ? before->read.constFind(value.key) : row.read.cend();
        if (before && lent != before->read.cend()) {
            row.read.insert(lent.key(), *lent == value.values ? *lent : value.values);
            row.order.append(lent.key());
        } else {
            row.read.insert(value.key, value.values);
            row.order.append(value.key);
        }
    }
    if (before && row.order == before->order)
        row.order = before->order;
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
    // The rows hold what was read: the future's copies of a folder's records go, freed off the
    // GUI thread as there are thousands.
    QFuture<SessionRead> done = m_reading.future();
    m_reading.setFuture(QFuture<SessionRead>());
    QThreadPool::globalInstance()->start(
            [done = std::move(done)]() mutable { done = QFuture<SessionRead>(); });
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
    if (!found->picturesEdited)
        return found->coverId;
    const qsizetype front = sessionFrontPicture(found->newPictures);
    return front < 0 ? 0 : found->newPictures.at(front).dataId;
}

QByteArray TagSession::newCover(RowId id) const
{
    const SessionRow *found = row(id);
    return found ? found->newCover : QByteArray();
}

QList<SessionPicture> TagSession::pictures(RowId id) const
{
    const SessionRow *found = row(id);
    return found ? found->currentPictures() : QList<SessionPicture>();
}

SessionPictureSource TagSession::pictureSource(RowId id, const SessionPicture &picture) const
{
    return {path(id), picture.dataId,
            picture.data.isEmpty() ? m_keptBytes.value(picture.dataId) : picture.data};
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
    // The cover is the front picture: a new one takes the place of the front covers.
    QList<PictureChange> changes;
    SessionPicture front;
    for (const auto &[id, bytes] : covers) {
        const SessionRow *found = row(id);
        // Shared bytes first: the same cover chosen for a folder's rows is one array.
        if (!found || bytes.isEmpty() || found->newCover.isSharedWith(bytes)
            || found->newCover == bytes)
            continue;
        if (!front.data.isSharedWith(bytes))
            front = SessionPicture::of(int(TagPictureType::FrontCover), QString(), bytes);
        const QList<SessionPicture> &before = found->currentPictures();
        QList<SessionPicture> after;
        qsizetype at = -1;
        for (const SessionPicture &picture : before) {
            if (picture.type == int(TagPictureType::FrontCover)) {
                if (at < 0)
                    at = after.size();
            } else {
                after.append(picture);
            }
        }
        after.insert(at < 0 ? 0 : at, front);
        changes.append({id, before, after});
    }
    pushPictureChanges(changes, undoText);
}

void TagSession::dropCover(const QList<RowId> &ids)
{
    // The front pictures as the file has them, the other pictures as they are now.
    QList<PictureChange> changes;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found || found->newCover.isEmpty())
            continue;
        const QList<SessionPicture> &before = found->currentPictures();
        QList<SessionPicture> after;
        for (const SessionPicture &picture : found->pictures) {
            if (picture.type == int(TagPictureType::FrontCover))
                after.append(picture);
        }
        for (const SessionPicture &picture : before) {
            if (picture.type != int(TagPictureType::FrontCover))
                after.append(picture);
        }
        changes.append({id, before, after});
    }
    pushPictureChanges(changes, tr("Drop cover"));
}

void TagSession::pushPictureChanges(QList<PictureChange> changes, const QString &text)
{
    changes.removeIf([](const PictureChange &change) { return change.before == change.after; });
    if (!changes.isEmpty())
        m_undo->push(new SessionCommand(this, {}, std::move(changes), text, -1));
}

void TagSession::putPicture(const QList<RowId> &ids, const SessionPicture &picture)
{
    if (picture.data.isEmpty())
        return;
    QList<PictureChange> changes;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        const QList<SessionPicture> &before = found->currentPictures();
        QList<SessionPicture> after;
        qsizetype at = -1;
        for (const SessionPicture &held : before) {
            if (!held.sameKey(picture.type, picture.description))
                after.append(held);
            else if (at < 0)
                at = after.size();
        }
        after.insert(at < 0 ? after.size() : at, picture);
        changes.append({id, before, after});
    }
    pushPictureChanges(changes, tr("Add picture"));
}

void TagSession::changePicture(const QList<RowId> &ids, int type, const QString &description,
                               int newType, const QString &newDescription)
{
    QList<PictureChange> changes;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        const QList<SessionPicture> &before = found->currentPictures();
        QList<SessionPicture> after;
        bool changed = false;
        for (const SessionPicture &held : before) {
            if (held.sameKey(type, description)) {
                // A save holds one picture of a type and description: the first one stays.
                if (changed)
                    continue;
                changed = true;
                SessionPicture moved = held;
                moved.type = newType;
                moved.description = newDescription;
                after.append(moved);
            } else if (!held.sameKey(newType, newDescription)) {
                after.append(held);
            }
        }
        if (changed)
            changes.append({id, before, after});
    }
    pushPictureChanges(changes, tr("Change picture"));
}

void TagSession::removePicture(const QList<RowId> &ids, int type, const QString &description)
{
    QList<PictureChange> changes;
    for (const RowId id : ids) {
        const SessionRow *found = row(id);
        if (!found)
            continue;
        QList<SessionPicture> after = found->currentPictures();
        after.removeIf([&](const SessionPicture &held) { return held.sameKey(type, description); });
        changes.append({id, found->currentPictures(), after});
    }
    pushPictureChanges(changes, tr("Remove picture"));
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
    QStringList keys;
    for (const Change &change : changes) {
        SessionRow *found = mutableRow(change.id);
        if (!found)
            continue;
        setRowValues(*found, change.key, after ? change.after : change.before);
        if (changed.isEmpty() || changed.constLast() != change.id)
            changed.append(change.id);
        if (keys.isEmpty() || (keys.constLast() != change.key && !keys.contains(change.key)))
            keys.append(change.key);
    }
    rowsChanged(changed, keys);
}

void TagSession::applyPictureChanges(const QList<PictureChange> &changes, bool after)
{
    QList<RowId> changed;
    for (const PictureChange &change : changes) {
        if (SessionRow *found = mutableRow(change.id)) {
            setRowPictures(*found, after ? change.after : change.before);
            changed.append(change.id);
        }
    }
    rowsChanged(changed);
    if (!changed.isEmpty())
        emit picturesChanged(changed);
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

void TagSession::setRowPictures(SessionRow &row, const QList<SessionPicture> &pictures)
{
    row.picturesEdited = pictures != row.pictures;
    row.newPictures = row.picturesEdited ? pictures : QList<SessionPicture>();
    const qsizetype front = sessionFrontPicture(row.newPictures);
    row.newCover = front < 0 ? QByteArray() : row.newPictures.at(front).data;
    row.newCoverId = row.newCover.isEmpty() ? 0 : row.newPictures.at(front).dataId;
    refreshModified(row);
}

void TagSession::keepBytes(const QHash<quint64, QByteArray> &removed)
{
    for (auto kept = removed.cbegin(); kept != removed.cend(); ++kept) {
        if (m_keptBytes.contains(kept.key()) || m_keptSize + kept->size() > keptLimit)
            continue;
        m_keptBytes.insert(kept.key(), kept.value());
        m_keptSize += kept->size();
    }
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
    const bool modified = !row.edits.isEmpty() || row.picturesEdited;
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

void TagSession::rowsChanged(const QList<RowId> &ids, const QStringList &keys)
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
    emit keysChanged(ids, keys);
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
        SaveJob job {
                id, found->path, {}, found->picturesEdited, found->pictures, found->newPictures,
                {}, {}};
        for (auto edit = found->edits.cbegin(); edit != found->edits.cend(); ++edit)
            job.changes.append({edit.key(), edit.value()});
        for (const SessionPicture &picture : std::as_const(job.pictures)) {
            if (picture.data.isEmpty() && m_keptBytes.contains(picture.dataId))
                job.kept.insert(picture.dataId, m_keptBytes.value(picture.dataId));
        }
        jobs.append(job);
    }
    return jobs;
}

TagSession::SaveResult TagSession::runSave(const SaveJob &job)
{
    SaveResult result {job.id, 0, {}, {}, {}, false};
    if (job.stop && *job.stop) {
        result.skipped = true;
        return result;
    }
    result.error = job.picturesEdited
            ? saveSessionFile(job.path, job.changes, job.readPictures, job.pictures, job.kept,
                              &result.removed, &result.reason)
            : saveSessionFile(job.path, job.changes, QByteArray(), &result.reason);
    if (result.error == 0)
        result.read = SessionRead::of(job.path);
    return result;
}

int TagSession::saveNow(const QList<RowId> &ids, QString *reason)
{
    int error = 0;
    int failed = 0;
    QList<RowId> changed;
    QList<RowId> picturesMoved;
    QStringList keys;
    for (const SaveJob &job : saveJobs(ids)) {
        const SaveResult result = runSave(job);
        if (result.error != 0 && failed++ == 0) {
            error = result.error;
            if (reason)
                *reason = result.reason;
        }
        bool pictures = false;
        if (applySaved(job, result, &keys, &pictures)) {
            changed.append(job.id);
            if (pictures)
                picturesMoved.append(job.id);
        }
    }
    rowsChanged(changed, keys);
    if (!picturesMoved.isEmpty())
        emit picturesChanged(picturesMoved);
    emit saveFinished(failed);
    return error;
}

void TagSession::savedAt(int begin, int end)
{
    QList<RowId> changed;
    QList<RowId> picturesMoved;
    QStringList keys;
    for (int i = begin; i < end; ++i) {
        const SaveResult result = m_saving.resultAt(i);
        if (result.skipped)
            continue;
        ++m_savedCount;
        if (result.error != 0)
            ++m_saveFailed;
        bool pictures = false;
        if (applySaved(m_saveJobs.at(i), result, &keys, &pictures)) {
            changed.append(result.id);
            if (pictures)
                picturesMoved.append(result.id);
        }
    }
    rowsChanged(changed, keys);
    if (!picturesMoved.isEmpty())
        emit picturesChanged(picturesMoved);
    emit saveProgress(m_savedCount, m_savedCount + (m_saveJobs.size() - end));
}

bool TagSession::applySaved(const SaveJob &job, const SaveResult &result, QStringList *keys,
                            bool *picturesChanged)
{
    SessionRow *found = mutableRow(result.id);
    if (!found)
        return false;
    if (result.error != 0) {
        found->problem = result.reason;
        return true;
    }
    // Thousands of rows come back from a save: the views look again at what it changed only.
    const QMap<QString, QStringList> readBefore = found->read;
    const QMap<QString, QStringList> editsBefore = found->edits;
    const QList<SessionPicture> picturesBefore = found->currentPictures();
    const bool picturesEditedBefore = found->picturesEdited;
    // What the file holds now is what the row was read as; a change typed while the save
    // ran stays a change.
    found->problem = result.read.problem;
    found->audio = result.read.audio;
    found->coverId = result.read.coverId;
    found->pictures = result.read.pictures;
    keepBytes(result.removed);
    found->read.clear();
    for (const SessionValue &value : result.read.values) {
        // What the row held, shared with the other rows saved alike, where the file holds it.
        const auto edit = editsBefore.constFind(value.key);
        const auto read = readBefore.constFind(value.key);
        if (edit != editsBefore.cend() && *edit == value.values)
            found->read.insert(edit.key(), *edit);
        else if (read != readBefore.cend() && *read == value.values)
            found->read.insert(read.key(), *read);
        else
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
    // Pictures chosen while the save ran stay chosen.
    const bool picturesSaved
            = !found->picturesEdited || (job.picturesEdited && found->newPictures == job.pictures);
    const QList<SessionPicture> shown = picturesSaved ? found->pictures : found->newPictures;
    setRowPictures(*found, shown);
    const auto addKey = [keys](const QString &key) {
        if (!keys->contains(key))
            keys->append(key);
    };
    const auto shownBefore = [&](const QString &key) {
        const auto edit = editsBefore.constFind(key);
        return edit != editsBefore.cend() ? *edit : readBefore.value(key);
    };
    const std::initializer_list<const QMap<QString, QStringList> *> held
            = {&readBefore, &editsBefore, &found->read, &found->edits};
    for (const QMap<QString, QStringList> *values : held) {
        for (auto value = values->cbegin(); value != values->cend(); ++value) {
            if (shownBefore(value.key()) != found->values(value.key()))
                addKey(value.key());
        }
    }
    *picturesChanged = picturesEditedBefore != found->picturesEdited
            || picturesBefore != found->currentPictures();
    return true;
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
    // With its pictures edited the row's cover is its front picture now, which the file may hold
    // under another type, or not at all.
    const SessionRow *found = row(id);
    const bool edited = found && found->picturesEdited;
    SessionPictureSource front;
    if (edited) {
        if (const qsizetype at = sessionFrontPicture(found->newPictures); at >= 0)
            front = pictureSource(id, found->newPictures.at(at));
    }
    // Not the session's own pool: the report of the selection must not wait for a folder's
    // reading.
    m_details.setFuture(QtConcurrent::run([id, file, edited, front] {
        Details details {id, {}, {}};
        readSessionDetails(file, &details.report, &details.cover);
        if (edited)
            details.cover
                    = front.dataId == sessionCoverId(details.cover) ? details.cover : front.bytes();
        return details;
    }));
}
