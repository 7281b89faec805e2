#include "winfileio.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace quillet {

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool failed()
{
    errno = errnoOf(GetLastError());
    return false;
}

Descriptor descriptorOf(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE) {
        failed();
        return Descriptor();
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (fd < 0)
        CloseHandle(file);
    return Descriptor(fd);
}

OVERLAPPED at(long long offset)
{
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

constexpr long long largestTransfer = 1 << 30;

} // namespace

int errnoOf(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    default:
        return EIO;
    }
}

long long readAt(int fd, char *out, long long count, long long offset)
{
    long long done = 0;
    while (done < count) {
        OVERLAPPED position = at(offset + done);
        DWORD got = 0;
        const auto chunk = static_cast<DWORD>(std::min(count - done, largestTransfer));
        if (!ReadFile(handleOf(fd), out + done, chunk, &got, &position)) {
            if (GetLastError() != ERROR_HANDLE_EOF)
                failed();
            break;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool writeAt(int fd, const char *data, long long count, long long offset)
{
    return writeWhole(data, count, offset,
                      [fd](const char *bytes, long long size, long long where) {
                          OVERLAPPED position = at(where);
                          DWORD written = 0;
                          const auto chunk = static_cast<DWORD>(std::min(size, largestTransfer));
                          if (!WriteFile(handleOf(fd), bytes, chunk, &written, &position)) {
                              failed();
                              return -1LL;
                          }
                          return static_cast<long long>(written);
                      });
}

bool copyRange(int from, long long fromOffset, int to, long long toOffset, long long count)
{
    std::vector<char> buffer(static_cast<std::size_t>(std::min<long long>(count, 1 << 20)));
    for (long long done = 0; done < count;) {
        const long long chunk = std::min(count - done, static_cast<long long>(buffer.size()));
        if (readAt(from, buffer.data(), chunk, fromOffset + done) != chunk
            || !writeAt(to, buffer.data(), chunk, toOffset + done))
            return false;
        done += chunk;
    }
    return true;
}

Descriptor openForSave(const std::wstring &path)
{
    return descriptorOf(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool factsOf(int fd, FileFacts &facts)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handleOf(fd), &info))
        return failed();
    facts.size = (static_cast<long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts.attributes = info.dwFileAttributes;
    facts.links = info.nNumberOfLinks;
    facts.created = (static_cast<long long>(info.ftCreationTime.dwHighDateTime) << 32)
            | info.ftCreationTime.dwLowDateTime;
    return true;
}

bool finalPathOf(int fd, std::wstring &path)
{
    path.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(
                handleOf(fd), path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
        if (length == 0)
            return failed();
        const bool complete = length < path.size();
        path.resize(length);
        if (complete)
            return true;
    }
}

Descriptor createNew(const std::wstring &path)
{
    return descriptorOf(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
}

bool setFacts(int fd, const FileFacts &facts)
{
    FILE_BASIC_INFO info = {};
    info.CreationTime.QuadPart = facts.created;
    // Only what a program may set: compression or encryption come from the folder, as for any
    // new file.
    const DWORD settable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
            | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;
    info.FileAttributes = facts.attributes & settable;
    if (info.FileAttributes == 0)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handleOf(fd), FileBasicInfo, &info, sizeof info) || failed();
}

bool flush(int fd)
{
    return FlushFileBuffers(handleOf(fd)) || failed();
}

long long sizeOf(int fd)
{
    LARGE_INTEGER size;
    return GetFileSizeEx(handleOf(fd), &size) ? size.QuadPart : (failed(), -1);
}

bool moveOver(const std::wstring &from, const std::wstring &to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
            || failed();
}

void removeQuietly(const std::wstring &path)
{
    const int error = errno;
    DeleteFileW(path.c_str());
    errno = error;
}

} // namespace quillet
