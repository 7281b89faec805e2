#ifndef TEXTFINDER_H
#define TEXTFINDER_H

#include "coverpreview.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

class QLineEdit;
struct TagField;

namespace Ui {
class TextFinder;
}

// The tag editor: the main window's central widget. It reports to the window's status bar
// through sysInfo(), which its constructor connects to the parent's updateSysInfo(QString).
class TextFinder : public QWidget
{
    Q_OBJECT

public:
    explicit TextFinder(QWidget *parent);
    ~TextFinder() override;

    // Opens path as "Open" does with the path its dialog returned, once unsaved changes are
    // saved or discarded; false when the user kept them.
    bool openFile(const QString &path);
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
    void fieldEdited() { setModified(true); }
    QString dialogFolder() const;
    void showCover(const QImage &image);

    Ui::TextFinder *ui;
    QString currentFile; // path of the last opened file
    QString lastFolder; // folder of the last file opened, where the file dialogs go next
    // The encoded image of a cover chosen with "Load Cover Art Image" that the next "Save"
    // writes; empty when there is none. A cover read from the file is only shown, never kept
    // here, so saving never rewrites it.
    QByteArray pendingCover;
    bool modified = false; // a field edited or a cover chosen since the last open or save
    CoverPreview preview; // decodes the cover on show off the GUI thread
};

#endif // TEXTFINDER_H
