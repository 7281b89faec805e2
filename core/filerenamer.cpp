#include "filerenamer.h"

#include "failurereason.h"
#include "quilletc.h"
#include "saveguard.h"
#include "tagrecord.h"
#include "widetext.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QString();
}

bool exists(const QString &path)
{
    struct stat info;
    return stat(nativeName(path).constData(), &info) == 0;
}

void removeFolders(const QStringList &folders)
{
    // Only where empty: whatever was put in them since stays.
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder)
        rmdir(nativeName(*folder).constData());
}

int makeFolders(const QString &path, QStringList *made)
{
    QStringList missing;
    for (QString folder = parentOf(path); !folder.isEmpty() && !exists(folder);
         folder = parentOf(folder))
        missing.prepend(folder);
    for (const QString &folder : std::as_const(missing)) {
        if (mkdir(nativeName(folder).constData(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            removeFolders(*made);
            made->clear();
            return error;
        }
        made->append(folder);
    }
    return 0;
}

// Never over an existing name, in one step where the file system can; else a second name,
// which never replaces anything either, then the old one goes.
int moveNoReplace(const QByteArray &from, const QByteArray &to)
{
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOTSUP)
        return errno;
#endif
    if (link(from.constData(), to.constData()) != 0)
        return errno;
    if (unlink(from.constData()) != 0) {
        const int error = errno;
        unlink(to.constData());
        return error;
    }
    return 0;
}

// 0 when the file reads as audio; else why not (QUILLET_ENOTAUDIO for a page of text named
// .mp3). Read before the guard is taken: a read waits for the lock the guard holds.
int readsAsAudio(const QString &path)
{
    int error = 0;
    quillet_tag *const tag = quillet_read(nativeName(path).constData(), &error);
    quillet_tag_free(tag);
    return tag ? 0 : error;
}

// The inode of the file at path while it holds audio (TagRecord::audioReport); 0 otherwise.
ino_t inodeHolding(const QString &path, const QString &audio)
{
    struct stat before;
    struct stat after;
    TagRecord record;
    const QByteArray name = nativeName(path);
    if (audio.isEmpty() || lstat(name.constData(), &before) != 0 || !record.read(path)
        || record.audioReport() != audio || lstat(name.constData(), &after) != 0
        || after.st_ino != before.st_ino)
        return 0;
    return after.st_ino;
}

} // namespace

int renameFile(const QString &from, const QString &to, RenameDone *done)
{
    const QByteArray source = nativeName(from);
    removeLeftJournals(parentOf(from));
    // A file whose tags cannot be read has no name to get from them.
    if (const int error = readsAsAudio(from))
        return error;
    SaveGuard guard;
    if (const int error = guard.take(source))
        return error;
    struct stat info;
    if (lstat(source.constData(), &info) != 0)
        return errno;
    QStringList made;
    if (const int error = makeFolders(to, &made))
        return error;
    if (const int error = moveNoReplace(source, nativeName(to))) {
        removeFolders(made);
        return error;
    }
    *done = {from, to, made, static_cast<unsigned long long>(info.st_dev),
             static_cast<unsigned long long>(info.st_ino)};
    return 0;
}

int undoRename(const RenameDone &done, const QString &audio)
{
    const QByteArray renamed = nativeName(done.to);
    // Read before the guard is taken, which a read would wait for: a save that wrote a copy over
    // the file gave it a new inode and left its audio as it was.
    const ino_t replaced = inodeHolding(done.to, audio);
    SaveGuard guard;
    if (const int error = guard.take(renamed))
        return error;
    struct stat info;
    if (lstat(renamed.constData(), &info) != 0 || info.st_dev != done.device
        || (info.st_ino != done.inode && (replaced == 0 || info.st_ino != replaced)))
        return ENOENT;
    if (const int error = moveNoReplace(renamed, nativeName(done.from)))
        return error;
    guard.release();
    removeFolders(done.madeFolders);
    return 0;
}

QString renameFailure(int error)
{
    return error == EEXIST ? QStringLiteral("a file of the new name exists") : failureReason(error);
}
