#include "textconv.h"

#include "quillet.h"
#include "widepath.h"

#include <cerrno>
#include <cwchar>

#include <sys/stat.h>

namespace quillet {

namespace {

constexpr char32_t replacementChar = 0xFFFD;

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

void appendUtf8(std::string &out, char32_t c)
{
    widepath::appendUtf8(out, c > 0x10FFFF || isSurrogate(c) ? replacementChar : c);
}

} // namespace

std::string toUtf8(const std::wstring &text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

TagLib::String toTagString(const std::wstring &text)
{
    return TagLib::String(toUtf8(text), TagLib::String::UTF8);
}

std::wstring fromTagString(const TagLib::String &text)
{
    // TagLib holds UTF-16 code units, one per wchar_t whatever its width: read straight from
    // them, without a trip through UTF-8. A surrogate without its partner becomes U+FFFD.
    std::wstring out;
    out.reserve(text.size());
    const auto end = text.end();
    for (auto it = text.begin(); it != end; ++it) {
        char32_t c = static_cast<char32_t>(*it) & 0xFFFF;
        if (c >= 0xD800 && c <= 0xDBFF && it + 1 != end) {
            const char32_t low = static_cast<char32_t>(*(it + 1)) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++it;
            }
        }
        widepath::appendWide(out, isSurrogate(c) ? replacementChar : c);
    }
    return out;
}

std::wstring extensionOf(const std::wstring &path)
{
    const auto dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot + 1);
}

namespace {

int pathError(const std::wstring &path)
{
    if (path.empty())
        return ENOENT;
    return path.find(L'\0') == std::wstring::npos ? 0 : EINVAL;
}

bool notRegular(unsigned int mode)
{
    errno = (mode & S_IFMT) == S_IFDIR ? EISDIR : QUILLET_ENOTAUDIO;
    return false;
}

} // namespace

NativePath::NativePath(const std::wstring &path)
#ifdef _WIN32
    : m_native(path)
    , m_error(pathError(path)) {}
#else
    : m_error(pathError(path))
{
    if (m_error == 0 && !widepath::toNativeBytes(path, m_native))
        m_error = EILSEQ;
}
#endif

    bool NativePath::isRegularFile() const
{
    if (!isValid()) {
        errno = m_error;
        return false;
    }
#ifdef _WIN32
    struct _stat64 info;
    if (_wstat64(m_native.c_str(), &info) != 0)
        return false;
    return (info.st_mode & _S_IFMT) == _S_IFREG || notRegular(info.st_mode);
#else
    struct stat info;
    if (lstat(m_native.c_str(), &info) != 0)
        return false;
    m_link = S_ISLNK(info.st_mode);
    if (m_link && stat(m_native.c_str(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode) || notRegular(info.st_mode);
#endif
}

bool NativePath::isSymbolicLink() const
{
#ifdef _WIN32
    return false;
#else
    struct stat info;
    if (m_link < 0 && isValid() && lstat(m_native.c_str(), &info) == 0)
        m_link = S_ISLNK(info.st_mode);
    return m_link > 0;
#endif
}

} // namespace quillet
