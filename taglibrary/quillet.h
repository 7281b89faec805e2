// quillet: reads and writes the tags of audio files through TagLib.
//
// The record below is shared memory layout between the library and its callers: both must be
// built from this header and link one C++ runtime, since the cover buffer allocated by readTag
// is released by the caller with delete[].
#ifndef QUILLET_H
#define QUILLET_H

#include <cerrno>
#include <cstdint>
#include <string>

#if defined(_WIN32)
#    if defined(QUILLET_BUILD)
#        define QUILLET_EXPORT __declspec(dllexport)
#    else
#        define QUILLET_EXPORT __declspec(dllimport)
#    endif
#else
#    define QUILLET_EXPORT __attribute__((visibility("default")))
#endif

// Why a call failed. Both functions leave errno as the C library does; the values, standard
// names all of them, mean:
//   ENOENT    no such file (an empty path too)
//   EACCES    permission denied: the file or its folder may not be read or written (a file or a
//             folder without any write permission is not written, not even by root)
//   EROFS     the file system is read-only
//   EISDIR    the path names a folder
//   EBUSY     another save of the file is running, or a reader held it for too long
//   ENOSPC    no room left on the device (EDQUOT: over the user's quota)
//   EFBIG     too large: the file for the system's size limit, or the tag or the cover for what
//             the file's tag format can hold
//   EIO       the device failed to read or write
//   EINVAL    the record cannot be written: year or track not a whole number from 0 to
//             2147483647 (a negative one included), a negative pictureSize, a null record, a
//             path holding a NUL character
//   EILSEQ    the path cannot be a file's name: it holds a surrogate that stands for no byte
//   QUILLET_ENOTAUDIO  not an audio file of a kind TagLib opens: another kind of content (also
//             content of another kind than the name's extension says), no tag to write, or not
//             a regular file (a device, a pipe)
//   QUILLET_EDAMAGED   the file is damaged: it ends inside its tag, or saving would cut what
//             is not tag; it is left as it is
// Others come from the system as they are (ELOOP, ENAMETOOLONG, ENOTDIR, EPERM, ...). Both custom
// values are standard errno names that exist on Linux and in MinGW-w64's errno.h alike, with
// meanings nothing else here gives them.
#define QUILLET_ENOTAUDIO ENOEXEC
#define QUILLET_EDAMAGED EBADMSG

// Path names: on POSIX systems a name's bytes are taken as UTF-8, and a byte that is not part
// of valid UTF-8 stands as the code point U+DC00 plus the byte (U+DC80 to U+DCFF), as Python's
// "surrogateescape" has it, whatever the locale: every file's name can be given.

// Wide strings hold one character per wchar_t where wchar_t is 32 bits (UTF-32) and UTF-16
// code units where it is 16 bits (Windows).
struct tagstruct
{
    std::wstring title;
    std::wstring album;
    std::wstring artist;
    std::wstring comment;
    std::wstring year;
    std::wstring track;
    std::wstring genre;
    std::wstring info; // report of every tag property and the audio properties; output only
    char *picture = nullptr; // encoded image; from readTag the caller owns it (delete[])
    std::int32_t pictureSize = 0; // bytes at picture; 0 when there is no cover
};

// Fills tag from the file at path. Always returns 0: a file that cannot be read leaves every
// string empty and no picture, and errno says why; after a file was read errno is 0. Any buffer
// left in tag->picture is overwritten, not released.
QUILLET_EXPORT int readTag(const std::wstring &path, tagstruct *tag);

// Writes the seven fields, and the picture when pictureSize is not 0, into the file at path.
// Returns 0 on success, -1 on any failure with errno saying why; on failure the file is left
// byte for byte as it was, and nothing beside it. errno is unchanged by a success.
QUILLET_EXPORT int saveTag(const std::wstring &path, tagstruct *tag);

#endif // QUILLET_H
