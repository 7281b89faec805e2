#include "selectiontools.h"

#include "loudnessdialog.h"
#include "tagsession.h"

#include <QAction>
#include <QMenu>
#include <QUndoStack>
#include <QWidget>
#include <QtConcurrent>

SelectionTools::SelectionTools(TagSession *session, QWidget *window)
    : QObject(window)
    , m_session(session)
    , m_window(window)
{
    createActions();
    connect(&m_reading, &QFutureWatcherBase::finished, this, &SelectionTools::openLookup);
}

SelectionTools::~SelectionTools()
{
    // The files' reads use nothing of this object, but their results are not wanted any more.
    m_reading.cancel();
    m_reading.waitForFinished();
}

void SelectionTools::createActions()
{
    m_lookup = new QAction(tr("Look up on MusicBrainz…"), this);
    connect(m_lookup, &QAction::triggered, this, &SelectionTools::lookUp);
    m_loudnessMenu = new QMenu(tr("Compute loudness"), m_window);
    m_trackLoudness = m_loudnessMenu->addAction(tr("Tracks"));
    connect(m_trackLoudness, &QAction::triggered, this, [this] { computeLoudness(false); });
    m_albumLoudness = m_loudnessMenu->addAction(tr("Tracks and album"));
    connect(m_albumLoudness, &QAction::triggered, this, [this] { computeLoudness(true); });
}

void SelectionTools::setSelection(std::function<QList<RowId>()> selected)
{
    m_selected = std::move(selected);
}

void SelectionTools::addTo(QMenu *menu)
{
    menu->addAction(m_lookup);
    menu->addMenu(m_loudnessMenu);
}

QList<RowId> SelectionTools::targets() const
{
    QList<RowId> ids = m_selected ? m_selected() : QList<RowId>();
    return ids.isEmpty() ? m_session->allIds() : ids;
}

void SelectionTools::lookUp()
{
    if (m_reading.isRunning())
        return; // the dialog for the first request is on its way
    QList<Read> files;
    for (const RowId id : targets())
        files.append({id, {m_session->path(id), TagRecord()}});
    if (files.isEmpty())
        return;
    m_reading.setFuture(QtConcurrent::run([files]() mutable {
        for (Read &read : files)
            read.file.record.read(read.file.path);
        return files;
    }));
}

void SelectionTools::openLookup()
{
    if (m_reading.isCanceled())
        return;
    QList<LookupDialog::File> files;
    QHash<QString, RowId> rows;
    for (Read &read : m_reading.result()) {
        const SessionRow *row = m_session->row(read.id);
        // Removed or renamed meanwhile: what was read is no longer this row's file.
        if (!row || row->path != read.file.path)
            continue;
        // The dialog compares with what the session holds, unsaved edits included.
        for (auto edit = row->edits.cbegin(); edit != row->edits.cend(); ++edit)
            read.file.record.setValues(edit.key(), edit.value());
        rows.insert(read.file.path, read.id);
        files.append(std::move(read.file));
    }
    if (files.isEmpty())
        return;
    auto *dialog = new LookupDialog(files, MusicBrainzClient::savedSettings(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &LookupDialog::applyRequested, this,
            [this, rows](const LookupDialog::FileValues &values, const QByteArray &frontCover) {
                applyLookup(rows, values, frontCover);
            });
    dialog->open();
    dialog->search();
}

void SelectionTools::applyLookup(const QHash<QString, RowId> &rows,
                                 const LookupDialog::FileValues &values,
                                 const QByteArray &frontCover)
{
    QList<QPair<RowId, QList<SessionValue>>> changes;
    QList<QPair<RowId, QByteArray>> covers;
    for (const auto &[path, properties] : values) {
        const RowId id = rows.value(path);
        if (!m_session->contains(id))
            continue;
        QList<SessionValue> taken;
        for (const TagProperty &property : properties)
            taken.append({property.key, property.values});
        changes.append({id, taken});
        if (!frontCover.isEmpty())
            covers.append({id, frontCover});
    }
    // Values and cover are one step to undo.
    const QString text = tr("Look up on MusicBrainz");
    m_session->undoStack()->beginMacro(text);
    m_session->applyValues(changes, text);
    if (!covers.isEmpty())
        m_session->applyCovers(covers, text);
    m_session->undoStack()->endMacro();
}

void SelectionTools::computeLoudness(bool album)
{
    if (m_loudness && m_loudness->isVisible())
        return;
    QStringList paths;
    QHash<QString, RowId> rows;
    for (const RowId id : targets()) {
        paths.append(m_session->path(id));
        rows.insert(paths.last(), id);
    }
    if (paths.isEmpty())
        return;
    delete m_loudness;
    m_loudness = new LoudnessDialog(m_window);
    connect(m_loudness, &LoudnessDialog::computed, this,
            [this, rows](const LoudnessValues &values, const QStringList &failures) {
                applyLoudness(rows, values, failures);
            });
    m_loudness->start(paths, album);
}

void SelectionTools::applyLoudness(const QHash<QString, RowId> &rows, const LoudnessValues &values,
                                   const QStringList &failures)
{
    QList<QPair<RowId, QList<SessionValue>>> changes;
    for (auto file = values.cbegin(); file != values.cend(); ++file) {
        const RowId id = rows.value(file.key());
        if (!m_session->contains(id) || m_session->path(id) != file.key())
            continue;
        QList<SessionValue> taken;
        for (const TagProperty &property : file.value())
            taken.append({property.key, property.values});
        changes.append({id, taken});
    }
    m_session->applyValues(changes, tr("Compute loudness"));
    if (failures.isEmpty())
        emit status(tr("Compute loudness OK: %n files", nullptr, int(changes.size())), QString());
    else
        emit status(tr("Compute loudness: %n files not measured", nullptr, int(failures.size())),
                    failures.join(QLatin1Char('\n')));
}
