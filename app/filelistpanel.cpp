#include "filelistpanel.h"

#include "filelistmodel.h"
#include "filewalk.h"
#include "namestagsdialog.h"
#include "renamedialog.h"
#include "tagedit.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>
#include <utility>

namespace {

// Files are read and saved two at a time, as `quillet --jobs 2` does: a third would only wait
// for the disk or a core.
constexpr int fileJobs = 2;

// As in a spreadsheet.
constexpr QAbstractItemView::EditTriggers editTriggers
        = QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed;

const TagField &trackField()
{
    return *std::find_if(tagFields.begin(), tagFields.end(), [](const TagField &field) {
        return QLatin1String(field.name) == QLatin1String("track");
    });
}

QString filesText(qsizetype count)
{
    return count == 1 ? FileListPanel::tr("1 file") : FileListPanel::tr("%1 files").arg(count);
}

} // namespace

struct FileListPanel::Reading
{
    QStringList arguments;
    QList<FileItem> items;
    std::vector<FileEntry> entries;
};

struct FileListPanel::Saving
{
    struct Job
    {
        int row;
        QString path;
        FieldTexts texts; // as the row showed them, to tell a row changed during the save
        TagEdit edit;
    };
    struct Result
    {
        int error = 0;
        QString reason;
        FileEntry entry;
    };
    std::vector<Job> jobs;
    std::vector<Result> results;
};

FileListPanel::FileListPanel(QWidget *parent)
    : QDockWidget(parent)
    , m_model(new FileListModel(this))
    , m_proxy(new QSortFilterProxyModel(this))
    , m_view(new QTableView(this))
{
    setObjectName(QStringLiteral("fileList"));
    // Part of the window, not a panel to move, float or close, and without a title of its own.
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setTitleBarWidget(new QWidget(this));
    createView();
    createContextMenu();
    createReading();
    createSaving();
}

void FileListPanel::createView()
{
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(FileListModel::SortRole);
    m_view->setObjectName(QStringLiteral("fileTable"));
    m_view->setModel(m_proxy);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(editTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Rows as read, in the order of their paths, until the user sorts by a column.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    // Fixed widths: measuring thousands of rows' contents would hold up the window.
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(FileListModel::FileNameColumn, 200);
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

void FileListPanel::selectAll()
{
    m_selectingAll = true;
    m_view->selectAll();
    m_selectingAll = false;
    m_selectAllRead = m_reading.isRunning();
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
        if (!isSaving() && !selectedRows().isEmpty())
            emit removeRequested(selectedRows());
    });
    m_menu->addSeparator();
    QAction *rename = m_menu->addAction(tr("Rename files from tags…"));
    rename->setObjectName(QStringLiteral("actionRename_files_from_tags"));
    connect(rename, &QAction::triggered, this, &FileListPanel::renameFromTags);
    QAction *fromNames = m_menu->addAction(tr("Tags from file names…"));
    fromNames->setObjectName(QStringLiteral("actionTags_from_file_names"));
    connect(fromNames, &QAction::triggered, this, &FileListPanel::tagsFromNames);
    m_undoRename = m_menu->addAction(tr("Undo rename"));
    m_undoRename->setObjectName(QStringLiteral("actionUndo_rename"));
    m_undoRename->setShortcut(QKeySequence::Undo);
    m_undoRename->setShortcutContext(Qt::WidgetShortcut);
    m_undoRename->setEnabled(false);
    m_view->addAction(m_undoRename);
    connect(m_undoRename, &QAction::triggered, this, &FileListPanel::undoRename);
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

QList<int> FileListPanel::selectedRows() const
{
    const QModelIndexList picked = m_view->selectionModel()->selectedRows();
    QList<int> shown;
    shown.reserve(picked.size());
    for (const QModelIndex &index : picked)
        shown.append(index.row());
    std::sort(shown.begin(), shown.end());
    QList<int> rows;
    rows.reserve(shown.size());
    for (const int row : std::as_const(shown))
        rows.append(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
    return rows;
}

QList<int> FileListPanel::shownRows() const
{
    QList<int> rows;
    rows.reserve(m_proxy->rowCount());
    for (int row = 0; row < m_proxy->rowCount(); ++row)
        rows.append(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
    return rows;
}

void FileListPanel::numberTracks()
{
    QList<int> rows = selectedRows();
    if (rows.size() < 2)
        rows = shownRows();
    // The track field holds a number alone: the library writes no total.
    for (int i = 0; i < rows.size(); ++i)
        m_model->setText(rows.at(i), trackField(), QString::number(i + 1));
}

void FileListPanel::removeRows(const QList<int> &rows)
{
    forgetRenames();
    m_model->remove(rows);
}

QList<int> FileListPanel::rowsToName() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? shownRows() : rows;
}

void FileListPanel::renameFromTags()
{
    if (isBusy())
        return;
    // The names come from the fields as the list shows them, unsaved edits included; the rows
    // keep their edits under the new names.
    RenameDialog dialog(m_model->fileFields(rowsToName()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_renames = dialog.renamed();
    for (const RenameDone &done : std::as_const(m_renames)) {
        const int row = m_model->rowOf(done.from);
        if (row >= 0)
            m_model->setPath(row, done.to);
    }
    m_undoRename->setEnabled(!m_renames.isEmpty());
    const QStringList failures = dialog.failures();
    if (failures.isEmpty())
        emit status(tr("Rename OK: %1 renamed").arg(filesText(m_renames.size())), QString());
    else
        emit status(tr("Rename error: %1 of %2 files not renamed")
                            .arg(failures.size())
                            .arg(failures.size() + m_renames.size()),
                    failures.join(QLatin1Char('\n')));
    emit selectionChanged();
}

void FileListPanel::undoRename()
{
    if (isBusy() || m_renames.isEmpty())
        return;
    QStringList failures;
    // Last renamed first: a folder made for several files is removed once the last leaves it.
    for (auto done = m_renames.crbegin(); done != m_renames.crend(); ++done) {
        // A save since may have replaced the file: it is then known by what it holds.
        const int row = m_model->rowOf(done->to);
        const int error = ::undoRename(*done, row >= 0 ? m_model->audio(row) : QString());
        if (error != 0) {
            failures.append(done->to + QStringLiteral(": ") + renameFailure(error));
            continue;
        }
        if (row >= 0)
            m_model->setPath(row, done->from);
    }
    const qsizetype total = m_renames.size();
    forgetRenames();
    if (failures.isEmpty())
        emit status(tr("Undo rename OK: %1 put back").arg(filesText(total)), QString());
    else
        emit status(tr("Undo rename error: %1 of %2 files not put back")
                            .arg(failures.size())
                            .arg(total),
                    failures.join(QLatin1Char('\n')));
    emit selectionChanged();
}

void FileListPanel::forgetRenames()
{
    m_renames.clear();
    if (m_undoRename)
        m_undoRename->setEnabled(false);
}

void FileListPanel::tagsFromNames()
{
    if (isBusy())
        return;
    NamesTagsDialog dialog(m_model->fileFields(rowsToName()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Unsaved edits, as if typed into the cells: Save writes them.
    for (const FieldsFromName &file : dialog.changes()) {
        const int row = m_model->rowOf(file.path);
        for (const FieldValue &value : file.fields)
            // The list holds the form's seven; a pattern's other fields are not its to change.
            if (row >= 0 && value.field < tagFields.size())
                m_model->setText(row, tagFields[value.field], value.text);
    }
}

void FileListPanel::clear()
{
    forgetRenames();
    const bool busy = isBusy();
    m_reading.abandon();
    m_saving.abandon();
    m_read.reset();
    m_saved.reset();
    m_showTimer.stop();
    m_saveWhenRead = false;
    m_model->clear();
    if (busy)
        emit busyChanged(false);
}

void FileListPanel::cancel()
{
    m_saveWhenRead = false;
    m_reading.cancel();
    m_saving.cancel();
}

void FileListPanel::createReading()
{
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(100);
    connect(&m_showTimer, &QTimer::timeout, this, &FileListPanel::showRowsRead);
    connect(&m_reading, &BackgroundBatch::counted, this, [this](qsizetype count) {
        m_readTotal = count;
        emit progress(0, count);
    });
    connect(&m_reading, &BackgroundBatch::delivered, this, &FileListPanel::rowsRead);
    connect(&m_reading, &BackgroundBatch::finished, this, &FileListPanel::readingFinished);
}

void FileListPanel::open(const QStringList &arguments)
{
    forgetRenames();
    m_saving.cancel();
    m_saveWhenRead = false;
    m_model->clear();
    auto reading = std::make_shared<Reading>();
    reading->arguments = arguments;
    m_read = reading;
    m_readTotal = 0;
    m_readTo = 0;
    m_shown = 0;
    m_showTimer.stop();
    const auto prepare = [reading] {
        // One row per file, however often and however it was named.
        reading->items = withoutRepeats(collectFiles(reading->arguments));
        reading->entries.resize(std::size_t(reading->items.size()));
        return reading->items.size();
    };
    const auto work = [reading](qsizetype i) {
        const FileItem &item = reading->items.at(i);
        FileEntry &entry = reading->entries[std::size_t(i)];
        if (item.error.isEmpty()) {
            entry = FileEntry::read(item.path);
            entry.root = item.root;
        } else {
            entry.path = item.path;
            entry.problem = item.error;
        }
    };
    m_reading.start(prepare, work, fileJobs);
    emit busyChanged(true);
}

void FileListPanel::rowsRead(qsizetype, qsizetype to)
{
    m_readTo = to;
    // The first rows at once, the next ones once the timer has run out.
    if (!m_showTimer.isActive())
        showRowsRead();
}

void FileListPanel::showRowsRead()
{
    if (!m_read || m_readTo == m_shown)
        return;
    m_model->append(m_read->entries, std::size_t(m_shown), std::size_t(m_readTo));
    m_shown = m_readTo;
    if (m_selectAllRead)
        selectAll();
    emit progress(m_shown, m_readTotal);
    emit status(readCount(), QString());
    m_showTimer.start();
}

QString FileListPanel::readCount() const
{
    const QString read = tr("%1 of %2 files read").arg(m_shown).arg(m_readTotal);
    return m_saveWhenRead ? read + tr("; saved once all are read") : read;
}

void FileListPanel::saveModified()
{
    if (isSaving())
        return;
    commitEdit();
    if (!m_reading.isRunning()) {
        save(m_model->modifiedRows());
        return;
    }
    // The rows still to come may be edited too before the save begins.
    m_saveWhenRead = true;
    emit status(readCount(), QString());
}

void FileListPanel::readingFinished(qsizetype done)
{
    showRowsRead();
    m_showTimer.stop();
    const auto unread
            = std::count_if(m_read->entries.begin(), m_read->entries.begin() + done,
                            [](const FileEntry &entry) { return !entry.problem.isEmpty(); });
    m_read.reset();
    emit busyChanged(isBusy());
    const QString reason = unread == 0
            ? QString()
            : tr("%1 of %2 files could not be read").arg(unread).arg(done);
    // As one file that cannot be read still opens: the rows say why.
    if (done < m_readTotal)
        emit status(tr("Reading cancelled: %1 of %2 files read").arg(done).arg(m_readTotal),
                    reason);
    else
        emit status(tr("Load tag OK"), reason);
    if (std::exchange(m_saveWhenRead, false))
        save(m_model->modifiedRows());
}

void FileListPanel::createSaving()
{
    connect(&m_saving, &BackgroundBatch::delivered, this, &FileListPanel::rowsSaved);
    connect(&m_saving, &BackgroundBatch::finished, this, &FileListPanel::savingFinished);
}

void FileListPanel::commitEdit()
{
    if (QWidget *cellEditor = m_view->indexWidget(m_view->currentIndex())) {
        emit m_view->itemDelegate()->commitData(cellEditor);
        emit m_view->itemDelegate()->closeEditor(cellEditor);
    }
}

void FileListPanel::save(const QList<int> &rows)
{
    // Left open, a cell's text would be put back to the file's by its row's result.
    commitEdit();
    m_saveWhenRead = false; // this save takes the place of one waiting for the reading
    auto saving = std::make_shared<Saving>();
    for (const int row : rows) {
        if (m_model->isModified(row))
            saving->jobs.push_back(
                    {row, m_model->path(row), m_model->texts(row), m_model->edit(row)});
    }
    saving->results.resize(saving->jobs.size());
    m_saved = saving;
    m_failed = 0;
    m_saveTotal = qsizetype(saving->jobs.size());
    // The rows stay as they are until their files are saved and read again.
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const auto prepare = [saving] { return qsizetype(saving->jobs.size()); };
    const auto work = [saving](qsizetype i) {
        const Saving::Job &job = saving->jobs[std::size_t(i)];
        Saving::Result &result = saving->results[std::size_t(i)];
        result.error = job.edit.save(job.path, &result.reason);
        // What the file holds now, other programs' changes included.
        if (result.error == 0)
            result.entry = FileEntry::read(job.path);
    };
    m_saving.start(prepare, work, fileJobs);
    emit busyChanged(true);
    emit progress(0, m_saveTotal);
}

void FileListPanel::rowsSaved(qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i) {
        const Saving::Job &job = m_saved->jobs[std::size_t(i)];
        Saving::Result &result = m_saved->results[std::size_t(i)];
        if (result.error == 0) {
            // A row changed while its file was saved (a cover dropped meanwhile) keeps the
            // change, still to be saved.
            if (m_model->texts(job.row) == job.texts
                && m_model->newCover(job.row).isSharedWith(job.edit.cover()))
                m_model->replace(job.row, result.entry);
        } else {
            // The edits stay, to be corrected and saved again.
            m_model->setProblem(job.row, result.reason);
            ++m_failed;
        }
        result = Saving::Result();
    }
    emit progress(to, m_saveTotal);
}

void FileListPanel::savingFinished(qsizetype done)
{
    m_saved.reset();
    m_view->setEditTriggers(editTriggers);
    emit busyChanged(isBusy());
    const qsizetype unsaved = m_saveTotal - done + m_failed;
    if (m_failed > 0)
        emit status(tr("Save error %1: %2 of %3 files not saved")
                            .arg(-1)
                            .arg(m_failed)
                            .arg(m_saveTotal),
                    tr("the rows of the files not saved say why"));
    else if (done < m_saveTotal)
        emit status(tr("Save cancelled: %1 of %2 files saved").arg(done).arg(m_saveTotal),
                    QString());
    else
        emit status(tr("Save tag OK"), QString());
    emit saveFinished(int(unsaved));
}
