// Saving a file through TagLib so that a crash or a failed write never costs its audio.
#ifndef QUILLET_SAFESAVE_H
#define QUILLET_SAFESAVE_H

#include <functional>
#include <string>

namespace TagLib {
class FileRef;
class IOStream;
} // namespace TagLib

namespace quillet {

// Changes the open file and saves it through TagLib; false when it must not be written. content
// is the stream TagLib reads the file from, for checks of what the file holds.
using FileEditor = std::function<bool(TagLib::FileRef &ref, TagLib::IOStream &content)>;

// Opens the file at path through TagLib, lets edit change it and writes the result. On POSIX
// systems only what changed is written: in place, under a rollback journal beside the file
// (".<name>.quillet-journal"), where every original byte keeps its offset; else as a complete,
// checked copy (".<name>.quillet-copy") renamed over the file. A file with several hard links,
// or another's in a sticky folder, is not replaced: it is rewritten in place under a journal
// that holds all of it that changes. Either way, after a crash the next readTag or saveTag finds
// the file old or new. A symbolic link is followed and kept. On Windows a change is always
// written as a copy moved over the file; a file another program holds for writing or without
// sharing, a read-only one, or one with several names is not saved there.
//
// Returns false, with the file as it was, when the file is not a regular file, when it or its
// folder is read-only, when another save of it is running, when edit refuses, or when any read,
// write or check fails.
bool saveFile(const std::wstring &path, const FileEditor &edit);

} // namespace quillet

#endif // QUILLET_SAFESAVE_H
