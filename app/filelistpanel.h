// The list of files that the editor shows once more than one file is open.
#ifndef FILELISTPANEL_H
#define FILELISTPANEL_H

#include "backgroundbatch.h"
#include "fileentry.h"
#include "filerenamer.h"

#include <QByteArray>
#include <QDockWidget>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class FileListModel;
class QMenu;
class QSortFilterProxyModel;
class QTableView;

// A sortable table of the files with several rows selectable, the cells editable in place. It
// reads and saves the files off the GUI thread, rows appearing as they are read, and says how
// far it got through progress() and its own status texts. A panel docked above the editor, so
// that the editor's own form stays as it is.
class FileListPanel : public QDockWidget
{
    Q_OBJECT

public:
    explicit FileListPanel(QWidget *parent = nullptr);

    FileListModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    // The model's rows that are selected, in the order the table shows them.
    QList<int> selectedRows() const;
    QSize sizeHint() const override;
    // Every row, in the order the table shows them.
    QList<int> shownRows() const;

    // Empties the list and reads the files that the arguments name (files and folders, walked
    // as the command line walks them).
    void open(const QStringList &arguments);
    // A cell still typed into takes its text, as in a spreadsheet when saving.
    void commitEdit();
    // Saves the rows, each modified one, the others left alone; finished() tells how it went.
    void save(const QList<int> &rows);
    // Saves every modified row; while files are read, once the last of them is, and the status
    // says so meanwhile. Nothing while a save runs.
    void saveModified();
    // Every row; while files are read, the rows still to come as well, until other rows are
    // chosen.
    void selectAll();
    // Stops after the files being read or saved now.
    void cancel();
    bool isBusy() const { return m_reading.isRunning() || m_saving.isRunning(); }
    bool isSaving() const { return m_saving.isRunning(); }
    // Numbers the tracks 1..N in the order shown: the selected rows, or all when fewer than two
    // are selected.
    void numberTracks();
    void removeRows(const QList<int> &rows);
    // "Rename files from tags…" and "Tags from file names…" on the selected rows, or on every
    // row when none is selected: each asks for a pattern, with a preview, and applies on OK.
    void renameFromTags();
    void tagsFromNames();
    // Puts back every file that the last rename moved, where its old name is still free.
    void undoRename();
    // Empties the list; files still being read are dropped.
    void clear();
    // The list's context menu, built by createContextMenu(): for more actions on the selection.
    QMenu *contextMenu() const { return m_menu; }

signals:
    void selectionChanged();
    void status(const QString &message, const QString &reason);
    // done of total files, once the total is known.
    void progress(qsizetype done, qsizetype total);
    // Whether files are being read or saved: reading goes on while the rows read are saved.
    void busyChanged(bool busy);
    void saveFinished(int failed);
    // "Remove from list" was chosen for the rows; the editor asks about unsaved changes first.
    void removeRequested(const QList<int> &rows);

private:
    void createView();
    void createContextMenu();
    void createReading();
    void createSaving();
    void showContextMenu(const QPoint &pos);
    QList<int> rowsToName() const;
    void forgetRenames();
    QString readCount() const;
    void rowsRead(qsizetype from, qsizetype to);
    void showRowsRead();
    void readingFinished(qsizetype done);
    void rowsSaved(qsizetype from, qsizetype to);
    void savingFinished(qsizetype done);

    // What a worker fills in for each file, kept alive by the workers that use it.
    struct Reading;
    struct Saving;

    FileListModel *m_model;
    QSortFilterProxyModel *m_proxy;
    QTableView *m_view;
    QMenu *m_menu = nullptr;
    QAction *m_undoRename = nullptr;
    // The last rename's files, until the list's files change otherwise.
    QList<RenameDone> m_renames;
    BackgroundBatch m_reading;
    BackgroundBatch m_saving;
    std::shared_ptr<Reading> m_read;
    std::shared_ptr<Saving> m_saved;
    qsizetype m_readTotal = 0;
    qsizetype m_saveTotal = 0;
    qsizetype m_readTo = 0; // the files read so far
    qsizetype m_shown = 0; // the files read that are rows
    // New rows and the count are shown at most this often: each time costs the window a layout.
    QTimer m_showTimer;
    int m_failed = 0;
    bool m_saveWhenRead = false;
    bool m_selectAllRead = false; // the rows still to come are selected as they come
    bool m_selectingAll = false;
};

#endif // FILELISTPANEL_H
