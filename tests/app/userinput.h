// What a user does to the window that QTest has no call for: answering the modal dialogs the
// window opens, and dropping files on it.
#ifndef USERINPUT_H
#define USERINPUT_H

#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QWidget;

// What a file dialog showed when it was answered.
struct DialogSeen
{
    bool shown = false;
    QString title;
    QStringList filters;
    QString directory; // the folder it showed first
    QString typedName; // what its name box held before the answer
    QString complaint; // a message box the dialog showed instead of closing
};

// Answers the file dialog that becomes the modal window while the returned timer runs: picks
// path, or cancels when path is empty. Should the dialog refuse the answer with a message box,
// both are closed, so a failing test ends instead of waiting.
std::unique_ptr<QTimer> answerFileDialog(const QString &path, DialogSeen *seen);

// Answers the first message box that becomes the modal window while the returned timer runs
// by clicking button; its text goes to text.
std::unique_ptr<QTimer> answerMessageBox(QMessageBox::StandardButton button, QString *text);

// Types pattern into the name pattern dialog that becomes the modal window while the returned
// timer runs, and presses its OK.
std::unique_ptr<QTimer> answerPatternDialog(const QString &pattern);

// Drags the files from outside onto window at pos (window coordinates) and drops them there,
// as a file manager does, offering to copy or move them. True when the window took the drag
// and the drop, as a copy: a file manager deletes the source of a moved file.
bool dropFiles(QWidget *window, const QPoint &pos, const QStringList &paths);

#endif // USERINPUT_H
