#ifndef TEXTFINDER_H
#define TEXTFINDER_H

#include <QByteArray>
#include <QString>
#include <QWidget>

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

signals:
    void sysInfo(const QString &message);

private slots:
    void on_choosePicButton_clicked();
    void on_findButton_clicked();
    void on_saveButton_clicked();

private:
    Ui::TextFinder *ui;
    QString currentFile; // path of the last opened file
    // The encoded image of a cover chosen with "Load Cover Art Image" that the next "Save"
    // writes; empty when there is none. A cover read from the file is only shown, never kept
    // here, so saving never rewrites it.
    QByteArray pendingCover;
};

#endif // TEXTFINDER_H
