// Renaming a file without ever replacing another, kept away from saves of it (saveguard.h), and
// putting it back.
#ifndef FILERENAMER_H
#define FILERENAMER_H

#include <QString>
#include <QStringList>

// A file renamed, as putting it back needs it.
struct RenameDone
{
    QString from;
    QString to;
    QStringList madeFolders; // made for it, outermost first
    unsigned long long device = 0;
    unsigned long long inode = 0;
};

// Renames from to to, making to's missing folders. 0, with done filled, or the errno: EEXIST
// where to exists, EBUSY while a save of the file runs; nothing is changed then.
int renameFile(const QString &from, const QString &to, RenameDone *done);

// Puts a renamed file back under its old name, where that is still free and the new name still
// leads to that file (ENOENT otherwise), and removes the folders made for it once empty. The
// file is the one renamed while it has its inode, or, after a save replaced it, while it holds
// audio (TagRecord::audioReport): what it held beside its tags when renamed.
int undoRename(const RenameDone &done, const QString &audio = QString());

// Why a rename failed, in the programs' words: "a file of the new name exists", ...
QString renameFailure(int error);

#endif // FILERENAMER_H
