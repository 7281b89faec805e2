// Every conversion between the library's wide strings, TagLib's strings and file names lives
// here. wchar_t is UTF-32 on Linux and UTF-16 on Windows; TagLib 1.x cuts wide characters to
// 16 bits, so text always crosses into TagLib as UTF-8.
#ifndef QUILLET_TEXTCONV_H
#define QUILLET_TEXTCONV_H

#include <string>

#include <taglib/tfile.h>
#include <taglib/tstring.h>

namespace quillet {

std::string toUtf8(const std::wstring &text);

TagLib::String toTagString(const std::wstring &text);
std::wstring fromTagString(const TagLib::String &text);

// Text in Latin-1 for fields that hold nothing else (ID3v1): each character Latin-1 lacks becomes
// close Latin letters where there are some, else "?"; cut to at most limit bytes, never inside
// the letters of one character.
std::string toLatin1(const TagLib::String &text, std::size_t limit);

// The text after the last "." of the whole path, folder names included; empty without a dot.
std::wstring extensionOf(const std::wstring &path);

// A path in the form the platform's file API takes: on POSIX the bytes of the name, UTF-8 with
// undecodable bytes carried as escape code points (widepath.h); UTF-16 on Windows.
class NativePath
{
public:
    explicit NativePath(const std::wstring &path);

    // False for a path no file API can name: empty, with an embedded NUL, or holding a
    // character no name can hold. error() then says which (ENOENT, EINVAL, EILSEQ).
    bool isValid() const { return m_error == 0; }
    int error() const { return m_error; }
    // True for a regular file, after following symbolic links: never a FIFO, a device or a
    // socket, which TagLib would open (and a FIFO would keep it waiting for a writer). False
    // with errno set: the system's reason, EISDIR, or QUILLET_ENOTAUDIO for another kind of file.
    bool isRegularFile() const;
    // True when the path's last part is a symbolic link; known without a further system call
    // once isRegularFile() has looked.
    bool isSymbolicLink() const;
    TagLib::FileName fileName() const { return m_native.c_str(); }
#ifndef _WIN32
    // The file's device and inode, once isRegularFile() has found a regular file; 0 before.
    unsigned long long device() const
    {
        return m_device;
    }
    unsigned long long inode() const
    {
        return m_inode;
    }
#endif
#ifdef _WIN32
    const std::wstring &native() const
    {
        return m_native;
    }
#else
    const std::string &native() const
    {
        return m_native;
    }
#endif

private:
#ifdef _WIN32
    std::wstring m_native;
#else
    std::string m_native;
#endif
    int m_error;
    mutable int m_link = -1; // unknown, or whether the last part is a symbolic link
#ifndef _WIN32
    mutable unsigned long long m_device = 0;
    mutable unsigned long long m_inode = 0;
#endif
};

} // namespace quillet

#endif // QUILLET_TEXTCONV_H
