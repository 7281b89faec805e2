#ifndef FILEWALK_H
#define FILEWALK_H

#include <QList>
#include <QString>
#include <QStringList>

// One file to work on, or a command-line argument that names nothing to work on.
struct FileItem
{
    QString path;
    QString error; // why there is nothing to work on; empty for a file
    QString root = QString(); // the folder argument the walk found it under; empty: named itself
};

// The files that FILE|FOLDER arguments name, in the order of the arguments. A file is taken as
// it is, whatever its name. A folder gives the files below it whose names the library handles,
// sorted by path; hidden files and folders are left out, and a folder reached a second time
// (through a symbolic link back up the tree) is not walked again; what a rename cut off left in
// a folder walked goes (removeLeftJournals). An argument that does not exist, or a folder that
// cannot be read, gives an item with an error in its place.
QList<FileItem> collectFiles(const QStringList &arguments);

// Each file once, however often it was named, or reached through a link too: two saves or
// renames of one file at the same time would race. Items with an error are all kept.
QList<FileItem> withoutRepeats(const QList<FileItem> &items);

#endif // FILEWALK_H
