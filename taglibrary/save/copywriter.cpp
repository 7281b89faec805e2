#include "copywriter.h"

#include "editstream.h"
#include "fileio.h"
#include "samefile.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#ifdef __linux__
#    include <linux/fs.h>
#    include <sys/ioctl.h>
#    include <sys/xattr.h>
#endif

namespace quillet {

namespace {

// What a file system says when it has no owners, permissions or attributes to set (FAT, exFAT
// or NTFS through FUSE, SMB mounts): the copy then has what the file system gives every file.
bool notSupported(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

// Owner and group where this process may set them.
bool copyOwner(int to, const struct stat &original)
{
    if (fchown(to, original.st_uid, original.st_gid) == 0)
        return true;
    if (errno == EPERM && fchown(to, static_cast<uid_t>(-1), original.st_gid) == 0)
        return true;
    return errno == EPERM || notSupported(errno);
}

bool copyMode(int to, const struct stat &original)
{
    // EPERM: a mode the file system cannot represent.
    return fchmod(to, original.st_mode & 07777) == 0 || errno == EPERM || notSupported(errno);
}

// Extended attributes: access lists and security labels among them.
bool copyAttributes(int from, int to)
{
#ifdef __linux__
    const ssize_t listSize = flistxattr(from, nullptr, 0);
    if (listSize < 0)
        return notSupported(errno);
    std::vector<char> names(static_cast<std::size_t>(listSize));
    const ssize_t namesSize = flistxattr(from, names.data(), names.size());
    if (namesSize < 0)
        return false;
    for (ssize_t at = 0; at < namesSize; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
        const char *name = &names[at];
        const ssize_t valueSize = fgetxattr(from, name, nullptr, 0);
        if (valueSize < 0 && errno == ENODATA)
            continue; // removed meanwhile
        if (valueSize < 0)
            return false;
        std::vector<char> value(static_cast<std::size_t>(valueSize));
        const ssize_t got = fgetxattr(from, name, value.data(), value.size());
        if (got < 0)
            return false;
        if (fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0
            && errno != EPERM && errno != EACCES && !notSupported(errno))
            return false;
    }
#else
    (void)from;
    (void)to;
#endif
    return true;
}

bool writePiece(const EditStream &stream, const EditStream::Piece &piece, long long position,
                int original, int to)
{
    if (piece.added)
        return writeAt(to, stream.added().data() + piece.offset, piece.size, position);
    return copyRange(original, piece.offset, to, position, piece.size);
}

// Writes the new content into the empty file `to`.
bool writeContent(const EditStream &stream, int original, int to)
{
#ifdef FICLONE
    // Where most of the file keeps its place, a clone shares its blocks and only the changed
    // pieces are written.
    long long unchanged = 0;
    long long position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (piece.keepsItsPlace(position))
            unchanged += piece.size;
        position += piece.size;
    }
    if (unchanged * 2 >= stream.size() && ioctl(to, FICLONE, original) == 0) {
        position = 0;
        for (const EditStream::Piece &piece : stream.pieces()) {
            if (!piece.keepsItsPlace(position)
                && !writePiece(stream, piece, position, original, to))
                return false;
            position += piece.size;
        }
        return truncateFile(to, stream.size());
    }
#endif
    long long at = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (!writePiece(stream, piece, at, original, to))
            return false;
        at += piece.size;
    }
    return true;
}

bool hasSize(int fd, long long size)
{
    struct stat info;
    return fstat(fd, &info) == 0 && info.st_size == size;
}

// The copy is never followed through a symbolic link.
bool names(const std::string &path, int fd)
{
    return namesOpenFile(path, fd, Links::Keep);
}

} // namespace

bool replaceWithCopy(const Target &target, int original, const EditStream &stream,
                     const Expectation &expected)
{
    const std::string copyPath = besideTarget(target, copyName(target.name));
    const Descriptor copy(
            open(copyPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!copy.isOpen())
        return false;
    // Another process may have taken the new copy for a stale one before it was locked.
    if (tryLock(copy.get(), Lock::Exclusive) == LockResult::Busy || !names(copyPath, copy.get()))
        return failWith(EBUSY);

    bool ok = copyOwner(copy.get(), target.file) && copyAttributes(original, copy.get())
            && writeContent(stream, original, copy.get()) && copyMode(copy.get(), target.file)
            && syncFile(copy.get()) && (hasSize(copy.get(), stream.size()) || failWith(EIO));
    if (ok) {
        EditStream written(copy.get(), stream.size(), stream.name());
        ok = meets(written, expected) || failWith(EIO);
    }
    if (ok)
        ok = (names(copyPath, copy.get()) || failWith(EBUSY))
                && rename(copyPath.c_str(), target.path.c_str()) == 0;
    if (!ok) {
        const KeepErrno keep;
        if (names(copyPath, copy.get()))
            unlink(copyPath.c_str());
        return false;
    }
    syncFolder(target.folder);
    return true;
}

} // namespace quillet
