#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillet {

long long readAt(int fd, char *out, long long count, long long offset)
{
    long long done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, out + done, static_cast<std::size_t>(count - done),
                                  static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

bool writeAt(int fd, const char *data, long long count, long long offset)
{
    while (count > 0) {
        const ssize_t written
                = pwrite(fd, data, static_cast<std::size_t>(count), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        count -= written;
        offset += written;
    }
    return true;
}

bool copyRange(int from, long long fromOffset, int to, long long toOffset, long long count)
{
#ifdef __linux__
    // No trip through this process, and shared extents where the file system can share them.
    while (count > 0) {
        loff_t in = fromOffset;
        loff_t out = toOffset;
        const ssize_t copied
                = copy_file_range(from, &in, to, &out, static_cast<std::size_t>(count), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0
            && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            break;
        if (copied <= 0)
            return false;
        fromOffset += copied;
        toOffset += copied;
        count -= copied;
    }
#endif
    if (count <= 0)
        return true;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<long long>(count, 1 << 20)));
    while (count > 0) {
        const long long chunk = std::min<long long>(count, static_cast<long long>(buffer.size()));
        const long long got = readAt(from, buffer.data(), chunk, fromOffset);
        if (got != chunk || !writeAt(to, buffer.data(), got, toOffset))
            return false;
        fromOffset += got;
        toOffset += got;
        count -= got;
    }
    return true;
}

void syncFolder(int folder)
{
    if (folder >= 0)
        fsync(folder);
}

void syncFolder(const std::string &folder)
{
    const Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    syncFolder(fd.get());
}

namespace {

LockResult resultOf(int status)
{
    if (status == 0)
        return LockResult::Granted;
    if (errno == EAGAIN || errno == EACCES || errno == EWOULDBLOCK)
        return LockResult::Busy;
    return LockResult::Unsupported;
}

} // namespace

#ifdef F_OFD_SETLK

LockResult tryLock(int fd, Lock kind)
{
    struct flock lock = {};
    lock.l_type = kind == Lock::Shared ? F_RDLCK : F_WRLCK;
    lock.l_whence = SEEK_SET; // the whole file, however long it grows
    return resultOf(fcntl(fd, F_OFD_SETLK, &lock));
}

bool isLocked(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

#else

LockResult tryLock(int fd, Lock kind)
{
    return resultOf(flock(fd, (kind == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB));
}

bool isLocked(int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    flock(fd, LOCK_UN);
    return false;
}

#endif

bool waitForLock(int fd, Lock kind, int timeoutMs)
{
    // Readers hold their locks for moments; a save that copies a large file holds its shared
    // lock a little longer.
    const timespec pause {0, 1000000};
    for (int waited = 0;; ++waited) {
        const LockResult result = tryLock(fd, kind);
        if (result != LockResult::Busy)
            return true;
        if (waited >= timeoutMs)
            return false;
        nanosleep(&pause, nullptr);
    }
}

} // namespace quillet
