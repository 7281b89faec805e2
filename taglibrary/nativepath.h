// A path in the form the platform's file API takes, and what kind of file it names.
#ifndef QUILLET_NATIVEPATH_H
#define QUILLET_NATIVEPATH_H

#include <string>

#include <taglib/tfile.h>

namespace quillet {

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

#endif // QUILLET_NATIVEPATH_H
