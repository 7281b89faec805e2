// The list of files that the editor shows once more than one file is open.
#ifndef FILELISTPANEL_H
#define FILELISTPANEL_H

#include "sessionrow.h"

#include <QDockWidget>
#include <QFutureWatcher>
#include <QList>
#include <QStringList>

class QMenu;
class QSortFilterProxyModel;
class QTableView;
class TagSession;

// A sortable table of the session's rows with several selectable, the cells editable in place.
// The session reads and saves the files in the background; the panel says how far it got
// through progress() and its own status texts. A panel docked above the editor, so that the
// editor's own form stays as it is; the window gives it most of its height.
class FileListPanel : public QDockWidget
{
    Q_OBJECT

public:
    explicit FileListPanel(TagSession *session, QWidget *parent = nullptr);

    TagSession *model() const { return m_session; }
    QSortFilterProxyModel *proxy() const { return m_proxy; }
    QTableView *view() const { return m_view; }
    // The rows selected, and every row, in the order the table shows them.
    QList<RowId> selectedIds() const;
    QList<RowId> shownIds() const;
    QSize sizeHint() const override;

    // Empties the session and reads the files that the arguments name (files and folders,
    // walked as the command line walks them, off the GUI thread).
    void open(const QStringList &arguments);
    // A cell still typed into takes its text, as in a spreadsheet when saving.
    void commitEdit();
    // Saves every modified row; while files are read, once the last of them is, and the status
    // says so meanwhile.
    void saveModified();
    // Saves the rows, each modified one, the others left alone; the status tells how it went.
    void save(const QList<RowId> &ids);
    // Every row; while files are read, the rows still to come as well, until other rows are
    // chosen.
    void selectAll();
    // Stops after the files being read or saved now.
    void cancel();
    bool isBusy() const;
    bool isSaving() const;
    // Numbers the tracks "n/N" in the order shown: the selected rows, or all when fewer than two
    // are selected.
    void numberTracks();
    // "Rename files from tags…" and "Tags from file names…" on the selected rows, or on every
    // row when none is selected: each asks for a pattern, with a preview, and applies on OK.
    void renameFromTags();
    void tagsFromNames();
    // Empties the list; files still being read are dropped.
    void clear();
    // The list's context menu: more actions on the selection go here.
    QMenu *contextMenu() const { return m_menu; }
    // The header's: a checkable entry per known field, the columns shown.
    QMenu *columnMenu() const { return m_columnMenu; }
    // Shows the key as a column, or hides it, and remembers the choice.
    void showColumn(const QString &key, bool shown);

signals:
    void selectionChanged();
    void status(const QString &message, const QString &reason);
    // done of total files, once the total is known.
    void progress(qsizetype done, qsizetype total);
    // Whether files are being read or saved.
    void busyChanged(bool busy);
    // "Remove from list" was chosen for the rows; the editor asks about unsaved changes first.
    void removeRequested(const QList<RowId> &ids);

private:
    void createView();
    void createHeader();
    void createContextMenu();
    void createSessionReports();
    void showContextMenu(const QPoint &pos);
    void showColumnMenu(const QPoint &pos);
    void checkShownColumns();
    void restoreHeader();
    void saveHeader();
    QList<RowId> idsToName() const;
    QString readCount() const;
    void rowsRead(qsizetype done, qsizetype total);
    void readingFinished();
    void savingStarted(qsizetype total);
    void savingFinished(int failed);

    TagSession *m_session;
    QSortFilterProxyModel *m_proxy;
    QTableView *m_view;
    QMenu *m_menu = nullptr;
    QMenu *m_columnMenu = nullptr;
    QFutureWatcher<QList<SessionFile>> m_walk;
    qsizetype m_saveTotal = 0;
    qsizetype m_saveDone = 0;
    bool m_saving = false;
    bool m_walking = false; // the arguments are walked for the files to read
    bool m_saveWhenRead = false;
    bool m_selectAllRead = false; // the rows still to come are selected as they come
    bool m_selectingAll = false;
    bool m_restoring = false;
};

#endif // FILELISTPANEL_H
