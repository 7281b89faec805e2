// NativePath: a path as the platform's file API takes it, and what the file at it is.
#include "nativepath.h"

#include "quillet.h"
#include "widepath.h"

#include <cerrno>
#include <cwchar>

#ifdef _WIN32
#    include "save/winfileio.h"

#    include <windows.h>
#else
#    include <sys/stat.h>
#endif

namespace quillet {

namespace {

int pathError(const std::wstring &path)
{
    if (path.empty())
        return ENOENT;
    return path.find(L'\0') == std::wstring::npos ? 0 : EINVAL;
}

#ifdef _WIN32

bool startsWith(const std::wstring &text, const wchar_t *prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The absolute path with the prefix \\?\ that lifts the limit of 260 characters: Windows then
// takes the path as it is, so it is made absolute and free of "." and ".." first. A device name
// (\\.\) stays as it is.
std::wstring extendedPath(const std::wstring &path)
{
    if (path.empty() || startsWith(path, L"\\\\?\\"))
        return path;
    std::wstring full(MAX_PATH, L'\0');
    DWORD length
            = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    }
    if (length == 0 || length >= full.size())
        return path;
    full.resize(length);
    if (startsWith(full, L"\\\\.\\"))
        return full;
    if (startsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

#else

bool notRegular(unsigned int mode)
{
    errno = (mode & S_IFMT) == S_IFDIR ? EISDIR : QUILLET_ENOTAUDIO;
    return false;
}

#endif

} // namespace

NativePath::NativePath(const std::wstring &path)
    : m_error(pathError(path))
{
#ifdef _WIN32
    m_native = path.find(L'\0') == std::wstring::npos ? extendedPath(path) : path;
#else
    if (m_error == 0 && !widepath::toNativeBytes(path, m_native))
        m_error = EILSEQ;
#endif
}

bool NativePath::isRegularFile() const
{
    if (!isValid()) {
        errno = m_error;
        return false;
    }
#ifdef _WIN32
    // A symbolic link's own attributes: a regular file too when it leads to one.
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(m_native.c_str(), GetFileExInfoStandard, &info)) {
        errno = errnoOf(GetLastError()); // ENOENT for a missing file, as on POSIX
        return false;
    }
    m_link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (m_link) {
        const HANDLE file = CreateFileW(
                m_native.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        BY_HANDLE_FILE_INFORMATION target;
        const bool found
                = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &target);
        const unsigned long error = GetLastError();
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (!found) {
            errno = errnoOf(error);
            return false;
        }
        info.dwFileAttributes = target.dwFileAttributes;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        errno = QUILLET_ENOTAUDIO;
        return false;
    }
    return true;
#else
    struct stat info;
    if (lstat(m_native.c_str(), &info) != 0)
        return false;
    m_link = S_ISLNK(info.st_mode);
    if (m_link && stat(m_native.c_str(), &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode))
        return notRegular(info.st_mode);
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return true;
#endif
}

bool NativePath::isSymbolicLink() const
{
#ifdef _WIN32
    if (m_link < 0 && isValid()) {
        const DWORD attributes = GetFileAttributesW(m_native.c_str());
        m_link = attributes != INVALID_FILE_ATTRIBUTES
                && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    return m_link > 0;
#else
    struct stat info;
    if (m_link < 0 && isValid() && lstat(m_native.c_str(), &info) == 0)
        m_link = S_ISLNK(info.st_mode);
    return m_link > 0;
#endif
}

} // namespace quillet
