#ifndef BATCH_H
#define BATCH_H

#include "filewalk.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class Console;

// What the work on one file gives.
struct FileOutcome
{
    QByteArray output; // for standard output, written whole
    QString error; // the reason the file failed; empty when it succeeded
};

// Runs work for every file on up to jobs threads at once. Each outcome is written as soon as it
// and every outcome before it are there, so the output keeps the order of files; an error
// becomes the line "FILE: reason" on standard error. An item that already carries an error is
// not worked on. Runs longer than a second show their progress when standard error is a
// terminal. Returns true when every file succeeded.
bool runBatch(const QList<FileItem> &files, int jobs,
              const std::function<FileOutcome(const QString &path)> &work, Console &console);

// As runBatch, with work given the file's index, and delivered called on the calling thread after
// each file's outcome is written, in the files' order, for what follows from the files up to it;
// delivered returns false where that failed.
bool runBatch(const QList<FileItem> &files, int jobs,
              const std::function<FileOutcome(qsizetype index)> &work,
              const std::function<bool(qsizetype index)> &delivered, Console &console);

#endif // BATCH_H
