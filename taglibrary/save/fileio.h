// The few POSIX file operations every part of saving needs: descriptors that close themselves,
// whole reads and writes at an offset, copies between files, flushes and advisory locks.
#ifndef QUILLET_SAVE_FILEIO_H
#define QUILLET_SAVE_FILEIO_H

#include "errors.h"

#include <string>

namespace quillet {

// Closes a file descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    { }
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(other.release())
    { }
    Descriptor &operator=(Descriptor &&other) noexcept;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int m_fd;
};

// Writes count bytes at offset through writeSome(bytes, count, offset), which writes some of
// them and says how many (-1, errno set, when it failed): the loop every platform's writeAt runs.
// A device that takes nothing is full.
template<typename WriteSome>
bool writeWhole(const char *data, long long count, long long offset, WriteSome writeSome)
{
    while (count > 0) {
        const long long written = writeSome(data, count, offset);
        if (written < 0)
            return false;
        if (written == 0)
            return failWith(ENOSPC);
        data += written;
        count -= written;
        offset += written;
    }
    return true;
}

// Reads count bytes at offset; fewer only at the end of the file or on an error.
long long readAt(int fd, char *out, long long count, long long offset);
// Writes all count bytes at offset; false on any failure (a full disk, a size limit).
bool writeAt(int fd, const char *data, long long count, long long offset);
// Copies count bytes between two files, in the kernel where it can.
bool copyRange(int from, long long fromOffset, int to, long long toOffset, long long count);
// Sets the file's size.
bool truncateFile(int fd, long long size);
// Allocates the file's blocks from offset on, so that a full disk or a size limit is met before
// anything is overwritten. True too where the file system cannot reserve.
bool reserveSpace(int fd, long long offset, long long count);
// Flushes a file's content to the device.
bool syncFile(int fd);

// Makes a folder's entries (a new or removed name) durable. Some file systems cannot sync a
// folder: the files themselves are synced then, which is all they offer.
void syncFolder(int folder);
void syncFolder(const std::string &folder);

// Advisory locks of an open file, shared by nobody else in this or another process (an open
// file description lock on Linux). A save holds one on every file it makes, and on the file it
// writes, so that what is not locked is known to belong to no running save.
enum class Lock {
    Shared, // reading: no save may write the file in place meanwhile
    Exclusive, // writing, or removing a file that nobody holds
};
enum class LockResult {
    Granted,
    Busy, // held by another
    Unsupported, // the file system has no locks
};
LockResult tryLock(int fd, Lock kind);
// How long a save or a recovery waits for a file's lock: readers hold the file for moments;
// another save that copies a large file, a little longer.
constexpr int lockTimeoutMs = 20000;
// Tries again until granted or until timeoutMs have passed; a file system without locks grants.
bool waitForLock(int fd, Lock kind, int timeoutMs);
// True when another open file holds a lock on fd's file.
bool isLocked(int fd);

// Failure injection for tests: with the environment variable QUILLET_FAULT set to
// "write:N:ERRNO" or "sync:N:ERRNO" (ERRNO: ENOSPC, EIO, EFBIG or EDQUOT), the N-th write (a
// write, copy, truncation or reservation) or file flush of the save started after arming fails
// with that error, as a full or failing disk would make it fail; nothing is written by it. With
// "exit:N" the process ends at the N-th write instead, as a kill would end it. Only in builds
// with QUILLET_FAULT_SEAM; otherwise arming does nothing.
void armFaults();

} // namespace quillet

#endif // QUILLET_SAVE_FILEIO_H
