#ifndef TEXTFINDER_H
#define TEXTFINDER_H

#include "coverpreview.h"
#include "sessionrow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class FileListPanel;
class QLineEdit;
class TagSession;
struct SessionRow;
struct TagField;

namespace Ui {
class TextFinder;
}

// The tag editor: the main window's central widget, a view of the editing session. One file
// fills the form alone (a session of one row, the list hidden); several show as a list above
// it, and the form then edits the files selected in the list. It reports to the window's
// status bar through sysInfo().
class TextFinder : public QWidget
{
    Q_OBJECT

public:
    // Without a session, the editor makes one of its own.
    explicit TextFinder(QWidget *parent, TagSession *session = nullptr);
    ~TextFinder() override;

    TagSession *session() const { return m_session; }
    // Opens path as "Open" does with the path its dialog returned, once unsaved changes are
    // saved or discarded (the open then waits for a save of several files to end); false when
    // the user kept them.
    bool openFile(const QString &path);
    // Opens files and folders: one file as openFile() does, anything more as a list.
    bool openFiles(const QStringList &paths);
    // The list of files that several files open in, hidden while one file is open; the window
    // makes it over the same session and places it. Without one, only the first of several
    // files opens.
    void setFileList(FileListPanel *list);
    FileListPanel *fileListPanel() const { return fileList; }
    // Makes the image at path the cover the next save writes, as "Load Cover Art Image" does
    // with the path its dialog returned.
    void chooseCover(const QString &path);
    // The rows the form edits: the one file, or those selected in the list.
    QList<RowId> selectedIds() const { return m_ids; }

    // With unsaved changes among ids (or anywhere when empty), asks whether to save them. Now:
    // the caller may go on at once (saved, discarded, or nothing to ask). Later: a save runs
    // in the background, and then() is called once every file is saved. Stop: the user keeps
    // them (Cancel, or the save failed).
    enum class GoOn { Now, Later, Stop };
    GoOn askToGoOn(const QList<RowId> &ids, const std::function<void()> &then);

signals:
    void sysInfo(const QString &message);
    // Right after each sysInfo(): why the last open or save failed, in words; empty when it did
    // not. The window shows it as the status text's tool tip.
    void sysInfoReason(const QString &reason);
    void modificationChanged(bool modified);
    // The cover of the latest Open, Save or chosen image is on show, or turned out to hold no
    // picture. Fields, report and status of one file are filled before the open returns; a
    // cover's preview is decoded in the background and may come later.
    void coverShown();
    // The rows the form edits changed: another file, another selection in the list.
    void selectionChanged(const QList<RowId> &ids);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createButtons();
    void createShortcuts();
    void createChangeTracking();
    void createSessionViews();
    void chooseCoverClicked();
    void openClicked();
    void showOpenDialog();
    void saveClicked();
    // Reads the one file into the session and the form; says nothing to the window. Returns
    // why nothing could be read, or an empty text.
    QString loadFile(const QString &given);
    void showFileDetails();
    void report(const QString &message, const QString &reason);
    bool save();
    QLineEdit *field(const TagField &tagField) const;
    QString formText(RowId id, const TagField &tagField) const;
    static QString formText(const SessionRow &row, const TagField &tagField);
    void fieldEdited(const TagField &tagField, const QString &text);
    QString dialogFolder() const;
    void showCover(const QImage &image);
    void showChosenCover(const QByteArray &bytes, const QImage &image);
    void detailsRead(RowId id, const QString &report, const QByteArray &cover);
    enum class Answer { Save, Discard, Cancel };
    Answer askToSave(const QString &question);
    void saveFinished(int failed);

    // The list of files.
    bool listShown() const;
    void showList(const QStringList &paths);
    void hideList();
    void workChanged(bool busy);
    void showSelection();
    void showFields();
    void showSelectionCover();
    void scheduleFieldRefresh();
    void removeFromList(const QList<RowId> &ids);

    Ui::TextFinder *ui;
    TagSession *m_session;
    QList<RowId> m_ids; // what the form edits
    QString lastFolder; // folder of the last file opened, where the file dialogs go next
    CoverPreview preview; // decodes the cover on show off the GUI thread
    FileListPanel *fileList = nullptr;
    // Set while a typed field goes to the rows: the form is not refreshed from them.
    bool applyingEdit = false;
    bool fieldRefreshPending = false;
    // The cover on show, by the session's ids; what a change of the rows is checked against.
    quint64 shownCover = 0;
    RowId detailsWanted = 0;
    bool detailsReport = false; // the report as well as the cover
    std::function<void()> afterSave; // what waits for the save the user asked for
};

#endif // TEXTFINDER_H
