// One file of the list as read: its fields and whether it has a cover, without the cover's bytes.
#ifndef FILEENTRY_H
#define FILEENTRY_H

#include "namepattern.h"

#include <QByteArrayView>
#include <QString>

struct FileEntry
{
    QString path;
    FieldTexts texts; // in the order of tagFields
    bool hasCover = false;
    // Tells covers apart without keeping them: equal bytes give equal ids. 0 without a cover.
    quint64 coverId = 0;
    QString problem; // why the file could not be read; empty when it was
    QString audio; // what it holds beside its tags (TagRecord::audioReport)
    // The folder opened that the file was found under; empty when it was opened by name. A
    // pattern's folders are made there, so that renaming again changes nothing.
    QString root;

    // Reads path; safe on any thread. A file that cannot be read gives empty fields and the
    // reason in problem.
    static FileEntry read(const QString &path);
    static quint64 coverIdOf(QByteArrayView bytes);
};

#endif // FILEENTRY_H
