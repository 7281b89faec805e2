#include "filelistpanel.h"

#include "sessionsortmodel.h"

#include "fieldtable.h"
#include "filewalk.h"
#include "namestagsdialog.h"
#include "renamedialog.h"
#include "tagsession.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QtConcurrent>

#include <algorithm>
#include <utility>

namespace {

// As in a spreadsheet.
constexpr QAbstractItemView::EditTriggers editTriggers
        = QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed;

const QString columnsSetting = QStringLiteral("fileList/columns");
const QString headerSetting = QStringLiteral("fileList/header");

QString filesText(qsizetype count)
{
    return count == 1 ? FileListPanel::tr("1 file") : FileListPanel::tr("%1 files").arg(count);
}

QString latin(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// One file per path, however often and however it was named.
QList<SessionFile> walk(const QStringList &arguments)
{
    QList<SessionFile> files;
    for (const FileItem &item : withoutRepeats(collectFiles(arguments)))
        files.append({item.path, item.root});
    return files;
}

} // namespace

FileListPanel::FileListPanel(TagSession *session, QWidget *parent)
    : QDockWidget(parent)
    , m_session(session)
    , m_proxy(new SessionSortModel(this))
    , m_view(new QTableView(this))
{
    setObjectName(QStringLiteral("fileList"));
    // Part of the window, not a panel to move, float or close, and without a title of its own.
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setTitleBarWidget(new QWidget(this));
    createView();
    createHeader();
    createContextMenu();
    createSessionReports();
}

void FileListPanel::createView()
{
    m_proxy->setSourceModel(m_session);
    m_proxy->setSortRole(TagSession::SortRole);
    // Rows stay where they are while typed into, as in a spreadsheet, and every change to
    // thousands of rows does not sort them all again; a click on a header sorts.
    m_proxy->setDynamicSortFilter(false);
    m_view->setObjectName(QStringLiteral("fileTable"));
    m_view->setModel(m_proxy);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(editTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->setMinimumHeight(160);
    setWidget(m_view);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        m_selectAllRead = m_selectAllRead && m_selectingAll;
        emit selectionChanged();
    });
    auto *all = new QAction(tr("Select all"), m_view);
    all->setShortcut(QKeySequence::SelectAll);
    all->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(all);
    connect(all, &QAction::triggered, this, &FileListPanel::selectAll);
}

void FileListPanel::createHeader()
{
    QHeaderView *header = m_view->horizontalHeader();
    // Fixed widths: measuring thousands of rows' contents would hold up the window.
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    header->setSectionsMovable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    m_columnMenu = new QMenu(this);
    m_columnMenu->setObjectName(QStringLiteral("columnMenu"));
    for (const quillet::KnownField &field : quillet::knownFields) {
        QAction *action = m_columnMenu->addAction(tr(field.label));
        const QString key = latin(field.key);
        action->setData(key);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this,
                [this, key](bool checked) { showColumn(key, checked); });
    }
    connect(header, &QWidget::customContextMenuRequested, this, &FileListPanel::showColumnMenu);
    restoreHeader();
    checkShownColumns();
    connect(header, &QHeaderView::sectionMoved, this, &FileListPanel::saveHeader);
    connect(header, &QHeaderView::sectionResized, this, &FileListPanel::saveHeader);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &FileListPanel::saveHeader);
}

void FileListPanel::restoreHeader()
{
    const QSettings settings;
    QStringList keys = settings.value(columnsSetting).toStringList();
    if (keys.isEmpty())
        keys = TagSession::defaultColumnKeys();
    m_restoring = true;
    m_session->setColumnKeys(keys);
    QHeaderView *header = m_view->horizontalHeader();
    if (!header->restoreState(settings.value(headerSetting).toByteArray())) {
        m_view->setColumnWidth(TagSession::FileNameColumn, 200);
        // Rows as read, in the order of their paths, until the user sorts by a column.
        header->setSortIndicator(-1, Qt::AscendingOrder);
    }
    m_view->setSortingEnabled(true);
    m_restoring = false;
}

void FileListPanel::saveHeader()
{
    if (m_restoring)
        return;
    QSettings settings;
    settings.setValue(columnsSetting, m_session->columnKeys());
    settings.setValue(headerSetting, m_view->horizontalHeader()->saveState());
}

void FileListPanel::checkShownColumns()
{
    const QStringList shown = m_session->columnKeys();
    for (QAction *action : m_columnMenu->actions())
        action->setChecked(shown.contains(action->data().toString()));
}

void FileListPanel::showColumnMenu(const QPoint &pos)
{
    checkShownColumns();
    m_columnMenu->popup(m_view->horizontalHeader()->mapToGlobal(pos));
}

void FileListPanel::showColumn(const QString &key, bool shown)
{
    QStringList keys = m_session->columnKeys();
    if (shown == keys.contains(key))
        return;
    if (shown)
        keys.append(key);
    else
        keys.removeAll(key);
    // The other columns keep their widths; a new one comes at the end.
    QHeaderView *header = m_view->horizontalHeader();
    QHash<QString, int> widths;
    for (int column = 0; column < m_session->columnCount(); ++column)
        widths.insert(m_session->keyOf(column) + QString::number(column == 0),
                      header->sectionSize(column));
    m_restoring = true;
    m_session->setColumnKeys(keys);
    for (int column = 0; column < m_session->columnCount(); ++column) {
        const auto width
                = widths.constFind(m_session->keyOf(column) + QString::number(column == 0));
        if (width != widths.cend())
            header->resizeSection(column, *width);
    }
    m_restoring = false;
    checkShownColumns();
    saveHeader();
}

void FileListPanel::selectAll()
{
    m_selectingAll = true;
    m_view->selectAll();
    m_selectingAll = false;
    m_selectAllRead = m_session->isReading() || m_walking;
}

void FileListPanel::createContextMenu()
{
    // The list's own actions live here and nowhere in the window's menus.
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("fileListMenu"));
    QAction *number = m_menu->addAction(tr("Number tracks"));
    number->setObjectName(QStringLiteral("actionNumber_tracks"));
    connect(number, &QAction::triggered, this, &FileListPanel::numberTracks);
    QAction *remove = m_menu->addAction(tr("Remove from list"));
    remove->setObjectName(QStringLiteral("actionRemove_from_list"));
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(remove);
    connect(remove, &QAction::triggered, this, [this] {
        if (!isSaving() && !selectedIds().isEmpty())
            emit removeRequested(selectedIds());
    });
    m_menu->addSeparator();
    QAction *rename = m_menu->addAction(tr("Rename files from tags…"));
    rename->setObjectName(QStringLiteral("actionRename_files_from_tags"));
    connect(rename, &QAction::triggered, this, &FileListPanel::renameFromTags);
    QAction *fromNames = m_menu->addAction(tr("Tags from file names…"));
    fromNames->setObjectName(QStringLiteral("actionTags_from_file_names"));
    connect(fromNames, &QAction::triggered, this, &FileListPanel::tagsFromNames);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &FileListPanel::showContextMenu);
}

void FileListPanel::showContextMenu(const QPoint &pos)
{
    if (!isBusy())
        m_menu->popup(m_view->viewport()->mapToGlobal(pos));
}

QSize FileListPanel::sizeHint() const
{
    // Every column readable beside the form's width.
    return QSize(960, 260);
}

QList<RowId> FileListPanel::selectedIds() const
{
    // By the selection's ranges: asking for each selected row's index would go over each
    // column of thousands of rows.
    QList<int> shown;
    for (const QItemSelectionRange &range : m_view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            shown.append(row);
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    QList<RowId> ids;
    ids.reserve(shown.size());
    for (const int row : std::as_const(shown))
        ids.append(m_session->idAt(m_proxy->mapToSource(m_proxy->index(row, 0)).row()));
    return ids;
}

QList<RowId> FileListPanel::shownIds() const
{
    QList<RowId> ids;
    ids.reserve(m_proxy->rowCount());
    for (int row = 0; row < m_proxy->rowCount(); ++row)
        ids.append(m_session->idAt(m_proxy->mapToSource(m_proxy->index(row, 0)).row()));
    return ids;
}

bool FileListPanel::isBusy() const
{
    return m_walking || m_session->isReading() || isSaving();
}

bool FileListPanel::isSaving() const
{
    return m_saving;
}

void FileListPanel::numberTracks()
{
    QList<RowId> ids = selectedIds();
    if (ids.size() < 2)
        ids = shownIds();
    m_session->numberTracks(ids);
}

QList<RowId> FileListPanel::idsToName() const
{
    const QList<RowId> ids = selectedIds();
    return ids.isEmpty() ? shownIds() : ids;
}

void FileListPanel::renameFromTags()
{
    if (isBusy())
        return;
    // The names come from the fields as the list shows them, unsaved edits included; the rows
    // keep their edits under the new names.
    const QList<RowId> ids = idsToName();
    RenameDialog dialog(m_session->fileFields(ids), this);
    dialog.setPlanOnly(true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QList<QPair<RowId, QString>> renames;
    for (const RenameRow &planned : dialog.planned()) {
        const auto id = std::find_if(ids.cbegin(), ids.cend(), [&](RowId candidate) {
            return m_session->path(candidate) == planned.from;
        });
        if (id != ids.cend())
            renames.append({*id, planned.to});
    }
    QStringList failures = dialog.failures();
    const auto failed = connect(m_session, &TagSession::renameFailed, this,
                                [&failures](const QString &path, const QString &reason) {
                                    failures.append(path + QStringLiteral(": ") + reason);
                                });
    const int renamed = m_session->rename(renames);
    disconnect(failed);
    if (failures.isEmpty())
        emit status(tr("Rename OK: %1 renamed").arg(filesText(renamed)), QString());
    else
        emit status(tr("Rename error: %1 of %2 files not renamed")
                            .arg(failures.size())
                            .arg(failures.size() + renamed),
                    failures.join(QLatin1Char('\n')));
    emit selectionChanged();
}

void FileListPanel::tagsFromNames()
{
    if (isBusy())
        return;
    const QList<RowId> ids = idsToName();
    NamesTagsDialog dialog(m_session->fileFields(ids), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Unsaved edits, as if typed into the cells, all as one step: Save writes them.
    QList<QPair<RowId, QList<SessionValue>>> values;
    for (const FieldsFromName &file : dialog.changes()) {
        const auto id = std::find_if(ids.cbegin(), ids.cend(), [&](RowId candidate) {
            return m_session->path(candidate) == file.path;
        });
        if (id == ids.cend())
            continue;
        QList<SessionValue> fields;
        for (const FieldValue &value : file.fields) {
            if (value.field < quillet::formFieldCount)
                fields.append({latin(quillet::formField(value.field).key),
                               value.text.isEmpty() ? QStringList() : QStringList {value.text}});
        }
        values.append({*id, fields});
    }
    m_session->applyValues(values, tr("Tags from file names"));
}

void FileListPanel::clear()
{
    const bool busy = isBusy();
    m_walk.cancel();
    m_walking = false;
    m_saveWhenRead = false;
    m_saving = false;
    m_session->clear();
    if (busy)
        emit busyChanged(false);
}

void FileListPanel::cancel()
{
    m_saveWhenRead = false;
    m_walk.cancel();
    m_session->cancel();
}

void FileListPanel::createSessionReports()
{
    connect(&m_walk, &QFutureWatcher<QList<SessionFile>>::finished, this, [this] {
        if (!std::exchange(m_walking, false))
            return;
        if (m_walk.isCanceled() || m_walk.future().resultCount() == 0) {
            readingFinished();
            return;
        }
        m_session->open(m_walk.result());
        emit progress(0, m_session->readTotal());
    });
    connect(m_session, &TagSession::readProgress, this, &FileListPanel::rowsRead);
    connect(m_session, &TagSession::readFinished, this, &FileListPanel::readingFinished);
    connect(m_session, &TagSession::saveProgress, this, [this](qsizetype done, qsizetype) {
        m_saveDone = done;
        emit progress(done, m_saveTotal);
    });
    connect(m_session, &TagSession::saveFinished, this, &FileListPanel::savingFinished);
}

void FileListPanel::open(const QStringList &arguments)
{
    clear();
    m_walking = true;
    m_walk.setFuture(QtConcurrent::run(walk, arguments));
    emit busyChanged(true);
}

void FileListPanel::rowsRead(qsizetype done, qsizetype total)
{
    // One file is read for the form alone, which says how that went.
    if (isHidden())
        return;
    if (m_selectAllRead)
        selectAll();
    emit progress(done, total);
    emit status(readCount(), QString());
}

QString FileListPanel::readCount() const
{
    const QString read
            = tr("%1 of %2 files read").arg(m_session->rowCount()).arg(m_session->readTotal());
    return m_saveWhenRead ? read + tr("; saved once all are read") : read;
}

void FileListPanel::saveModified()
{
    if (isSaving())
        return;
    commitEdit();
    if (m_session->isReading() || m_walking) {
        // The rows still to come may be edited too before the save begins.
        m_saveWhenRead = true;
        emit status(readCount(), QString());
        return;
    }
    save(m_session->modifiedIds());
}

void FileListPanel::save(const QList<RowId> &ids)
{
    // Left open, a cell's text would be put back to the file's by its row's result.
    commitEdit();
    savingStarted(std::count_if(ids.cbegin(), ids.cend(),
                                [this](RowId id) { return m_session->isModified(id); }));
    m_session->save(ids);
}

void FileListPanel::savingStarted(qsizetype total)
{
    m_saveWhenRead = false;
    m_saveTotal = total;
    m_saveDone = 0;
    m_saving = true;
    // The rows stay as they are until their files are saved and read again.
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    emit busyChanged(true);
    emit progress(0, m_saveTotal);
}

void FileListPanel::readingFinished()
{
    if (isHidden() || m_walking || m_session->isReading())
        return;
    if (m_selectAllRead)
        selectAll();
    m_selectAllRead = false;
    emit busyChanged(isBusy());
    const qsizetype read = m_session->rowCount();
    qsizetype unread = 0;
    for (const RowId id : m_session->allIds())
        unread += m_session->row(id)->problem.isEmpty() ? 0 : 1;
    const QString reason = unread == 0
            ? QString()
            : tr("%1 of %2 files could not be read").arg(unread).arg(read);
    // As one file that cannot be read still opens: the rows say why.
    if (read < m_session->readTotal())
        emit status(
                tr("Reading cancelled: %1 of %2 files read").arg(read).arg(m_session->readTotal()),
                reason);
    else
        emit status(tr("Load tag OK"), reason);
    if (std::exchange(m_saveWhenRead, false))
        save(m_session->modifiedIds());
}

void FileListPanel::commitEdit()
{
    if (QWidget *cellEditor = m_view->indexWidget(m_view->currentIndex())) {
        emit m_view->itemDelegate()->commitData(cellEditor);
        emit m_view->itemDelegate()->closeEditor(cellEditor);
    }
}

void FileListPanel::savingFinished(int failed)
{
    if (!m_saving)
        return;
    m_saving = false;
    m_view->setEditTriggers(editTriggers);
    emit busyChanged(isBusy());
    if (failed > 0)
        emit status(
                tr("Save error %1: %2 of %3 files not saved").arg(-1).arg(failed).arg(m_saveTotal),
                tr("the rows of the files not saved say why"));
    else if (m_saveDone < m_saveTotal)
        emit status(tr("Save cancelled: %1 of %2 files saved").arg(m_saveDone).arg(m_saveTotal),
                    QString());
    else
        emit status(tr("Save tag OK"), QString());
}
