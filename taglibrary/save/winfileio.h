// Windows' side of saving: the file operations a save needs there, over wide paths. Files are
// opened with CreateFileW and handed to the shared save code as C runtime descriptors, so that
// fileio.h's readAt and writeAt (implemented here for Windows) read and write them. A failure
// sets errno from GetLastError (errnoOf).
#ifndef QUILLET_SAVE_WINFILEIO_H
#define QUILLET_SAVE_WINFILEIO_H

#include "fileio.h"

#include <string>

namespace quillet {

// The errno nearest to a Windows error code: the one mapping of the library.
int errnoOf(unsigned long error);

// What a save needs to know of the file it opened.
struct FileFacts
{
    std::wstring path; // where the file is, through a symbolic link, with the \\?\ prefix
    long long size = 0;
    unsigned long attributes = 0;
    unsigned long links = 0;
    long long created = 0; // FILETIME
};

// Opens the file for reading while it is saved: others may read it meanwhile, nobody may write
// it, and a file another program holds for writing, or without sharing, is not opened (EBUSY).
Descriptor openForSave(const std::wstring &path);
// All but the path.
bool factsOf(int fd, FileFacts &facts);
// The path of the file fd is open on, every symbolic link resolved.
bool finalPathOf(int fd, std::wstring &path);

// Creates a new hidden file that nobody else may open while it is written; never over another.
Descriptor createNew(const std::wstring &path);
// The file's attributes and creation time, set on fd.
bool setFacts(int fd, const FileFacts &facts);
// FlushFileBuffers: the data and the size on the disk.
bool flush(int fd);
long long sizeOf(int fd);
// Renames from over to, replacing it in one step, written through to the disk.
bool moveOver(const std::wstring &from, const std::wstring &to);
// Removes the file, keeping errno as it was.
void removeQuietly(const std::wstring &path);

} // namespace quillet

#endif // QUILLET_SAVE_WINFILEIO_H
