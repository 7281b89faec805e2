// What renaming files by a pattern would do to each, checked before anything is renamed.
#ifndef RENAMEPLAN_H
#define RENAMEPLAN_H

#include "namepattern.h"

#include <QList>
#include <QString>

struct RenameRow
{
    QString from;
    QString to; // from itself where the name stays
    QString error; // why the file is not renamed; empty when it may be

    bool renames() const { return error.isEmpty() && to != from; }
};

// A row per file, in their order; a pattern's folders are made in each file's base. Never over
// another file: a new name that exists already, or that two files would get, is refused for
// those files.
QList<RenameRow> planRenames(const NamePattern &pattern, const QList<FileFields> &files);

#endif // RENAMEPLAN_H
