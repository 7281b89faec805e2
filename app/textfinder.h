#ifndef TEXTFINDER_H
#define TEXTFINDER_H

#include "coverpreview.h"
#include "tagedit.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class FileListPanel;
class QLineEdit;
class TagRecord;
struct TagField;

namespace Ui {
class TextFinder;
}

// The tag editor: the main window's central widget. It reports to the window's status bar
// through sysInfo(), which its constructor connects to the parent's updateSysInfo(QString).
// One file fills the form alone; several show as a list above it, and the form then edits the
// files selected in the list.
class TextFinder : public QWidget
{
    Q_OBJECT

public:
    explicit TextFinder(QWidget *parent);
    ~TextFinder() override;

    // Opens path as "Open" does with the path its dialog returned, once unsaved changes are
    // saved or discarded; false when the user kept them.
    bool openFile(const QString &path);
    // Opens files and folders: one file as openFile() does, anything more as a list.
    bool openFiles(const QStringList &paths);
    // The list of files that several files open in, hidden while one file is open; the window
    // hands it over and places it. Without one, only the first of several files opens.
    void setFileList(FileListPanel *list);
    FileListPanel *fileListPanel() const { return fileList; }
    // Makes the image at path the cover the next save writes, as "Load Cover Art Image" does
    // with the path its dialog returned.
    void chooseCover(const QString &path);
    // With unsaved changes, asks whether to save them: true when the editor may go on (they
    // were saved or discarded, or there were none), false when the user keeps them (Cancel, or
    // the save failed).
    bool maybeSave();

signals:
    void sysInfo(const QString &message);
    // Right after each sysInfo(): why the last open or save failed, in words; empty when it did
    // not. The window shows it as the status text's tool tip.
    void sysInfoReason(const QString &reason);
    void modificationChanged(bool modified);
    // The cover of the latest Open, Save or chosen image is on show, or turned out to hold no
    // picture. Fields, report and status are filled before the open returns; a cover's preview
    // is decoded in the background and may come later.
    void coverShown();

private slots:
    void on_choosePicButton_clicked();
    void on_findButton_clicked();
    void on_saveButton_clicked();

private:
    void createShortcuts();
    void createChangeTracking();
    // Reads the file into the form; says nothing to the window. Returns why nothing could be
    // read, or an empty text.
    QString loadFile(const QString &given);
    void report(const QString &message, const QString &reason);
    bool save();
    QLineEdit *field(const TagField &tagField) const;
    void setModified(bool changed);
    void fieldEdited(const TagField &tagField, const QString &text);
    QString dialogFolder() const;
    void showCover(const QImage &image);
    void showChosenCover(const QByteArray &bytes, const QImage &image);
    enum class Answer { Save, Discard, Cancel };
    Answer askToSave(const QString &question);

    // The list of files.
    bool listShown() const;
    void showList(const QStringList &paths);
    void hideList();
    void workChanged(bool busy);
    void showSelection();
    void showSelectionFields();
    void scheduleFieldRefresh();
    // read: the row's file already read, or nullptr.
    void showRowCover(int row, TagRecord *read);
    void removeFromList(const QList<int> &rows);
    bool maybeSaveRows(const QList<int> &rows);
    // Saves the rows and waits for the save, the window answering meanwhile: true when each
    // one was saved.
    bool saveRows(const QList<int> &rows);
    void stopSaving();

    Ui::TextFinder *ui;
    QString currentFile; // path of the last opened file
    QString lastFolder; // folder of the last file opened, where the file dialogs go next
    // The encoded image of a cover chosen with "Load Cover Art Image" that the next "Save"
    // writes; empty when there is none. A cover read from the file is only shown, never kept
    // here, so saving never rewrites it.
    QByteArray pendingCover;
    bool modified = false; // a field edited or a cover chosen since the last open or save
    // The fields typed into since then, the only ones a save writes.
    TagEdit edits;
    CoverPreview preview; // decodes the cover on show off the GUI thread
    FileListPanel *fileList = nullptr;
    // Set while a typed field goes to the selected rows: the form is not refreshed from them.
    bool applyingEdit = false;
    bool fieldRefreshPending = false;
};

#endif // TEXTFINDER_H
