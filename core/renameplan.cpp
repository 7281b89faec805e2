#include "renameplan.h"

#include "filerenamer.h"
#include "widetext.h"

#include <QDir>
#include <QHash>

#include <cerrno>

#include <sys/stat.h>

namespace {

// True where to names a file other than from (a name differing only in case may lead to from).
bool takenByOther(const QString &from, const QString &to)
{
    struct stat target;
    struct stat source;
    if (lstat(nativeName(to).constData(), &target) != 0)
        return false;
    return lstat(nativeName(from).constData(), &source) != 0 || source.st_dev != target.st_dev
            || source.st_ino != target.st_ino;
}

// One key however the folder was spelt: "d/x.mp3" and "./d/x.mp3" are one name.
QString nameKey(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

} // namespace

QList<RenameRow> planRenames(const NamePattern &pattern, const QList<FileFields> &files)
{
    QList<RenameRow> rows;
    rows.reserve(files.size());
    QHash<QString, int> named;
    for (const FileFields &file : files) {
        RenameRow row {file.path, QString(), QString()};
        row.to = pattern.pathFor(file.path, file.texts, &row.error, file.base);
        if (row.error.isEmpty())
            ++named[nameKey(row.to)];
        rows.append(row);
    }
    for (RenameRow &row : rows) {
        if (!row.renames())
            continue;
        if (named.value(nameKey(row.to)) > 1)
            row.error = QStringLiteral("another file would get the same name");
        else if (takenByOther(row.from, row.to))
            row.error = renameFailure(EEXIST);
    }
    return rows;
}
