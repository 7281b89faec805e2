#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillet {

namespace {

enum class Operation { Write, Sync };

#ifdef QUILLET_FAULT_SEAM

// The armed fault of this thread's save: which operation, the count left until it, the error.
struct Fault
{
    Operation operation = Operation::Write;
    long countdown = 0; // 0: none armed
    int error = 0; // 0: the process ends there instead, as if killed
};
thread_local Fault fault;

int errorNamed(const char *name)
{
    const struct
    {
        const char *name;
        int value;
    } known[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO}, {"EFBIG", EFBIG}, {"EDQUOT", EDQUOT}};
    for (const auto &entry : known) {
        if (std::strcmp(entry.name, name) == 0)
            return entry.value;
    }
    return 0;
}

// True, with errno set, when this operation is the one to fail.
bool injected(Operation operation)
{
    if (fault.countdown == 0 || fault.operation != operation || --fault.countdown != 0)
        return false;
    if (fault.error == 0)
        _exit(137);
    errno = fault.error;
    return true;
}

#else

bool injected(Operation)
{
    return false;
}

#endif

} // namespace

void armFaults()
{
#ifdef QUILLET_FAULT_SEAM
    fault = Fault();
    const char *spec = std::getenv("QUILLET_FAULT");
    if (!spec)
        return;
    char kind[8] = {};
    long count = 0;
    char error[16] = {};
    const int fields = std::sscanf(spec, "%7[a-z]:%ld:%15[A-Z]", kind, &count, error);
    const bool exits = fields == 2 && std::strcmp(kind, "exit") == 0;
    if ((fields != 3 && !exits) || count <= 0)
        return;
    fault.operation = std::strcmp(kind, "sync") == 0 ? Operation::Sync : Operation::Write;
    fault.error = exits ? 0 : errorNamed(error);
    fault.countdown = exits || fault.error != 0 ? count : 0;
#endif
}

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
    if (count > 0 && injected(Operation::Write))
        return false;
    return writeWhole(data, count, offset, [fd](const char *bytes, long long size, long long at) {
        for (;;) {
            const ssize_t written
                    = pwrite(fd, bytes, static_cast<std::size_t>(size), static_cast<off_t>(at));
            if (written >= 0 || errno != EINTR)
                return static_cast<long long>(written);
        }
    });
}

bool copyRange(int from, long long fromOffset, int to, long long toOffset, long long count)
{
    if (count > 0 && injected(Operation::Write))
        return false;
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
        if (copied == 0)
            return failWith(EIO); // the source ended early: cut shorter meanwhile
        if (copied < 0)
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
        if (got != chunk)
            return failWith(EIO); // a read error, or a file cut shorter meanwhile
        if (!writeAt(to, buffer.data(), got, toOffset))
            return false;
        fromOffset += got;
        toOffset += got;
        count -= got;
    }
    return true;
}

bool truncateFile(int fd, long long size)
{
    return !injected(Operation::Write) && ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool reserveSpace(int fd, long long offset, long long count)
{
    if (count <= 0)
        return true;
    if (injected(Operation::Write))
        return false;
    const int error = posix_fallocate(fd, static_cast<off_t>(offset), static_cast<off_t>(count));
    // Nothing reserved where the file system cannot: the writes themselves will tell.
    if (error == 0 || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL)
        return true;
    return failWith(error);
}

bool syncFile(int fd)
{
    return !injected(Operation::Sync) && fsync(fd) == 0;
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
