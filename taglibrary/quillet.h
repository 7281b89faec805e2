// quillet: reads and writes the tags of audio files through TagLib.
//
// The record below is shared memory layout between the library and its callers: both must be
// built from this header and link one C++ runtime, since the cover buffer allocated by readTag
// is released by the caller with delete[].
#ifndef QUILLET_H
#define QUILLET_H

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
// string empty and no picture. Any buffer left in tag->picture is overwritten, not released.
QUILLET_EXPORT int readTag(const std::wstring &path, tagstruct *tag);

// Writes the seven fields, and the picture when pictureSize is not 0, into the file at path.
// Returns 0 on success, -1 on any failure; on failure the file is left as it was.
QUILLET_EXPORT int saveTag(const std::wstring &path, tagstruct *tag);

#endif // QUILLET_H
