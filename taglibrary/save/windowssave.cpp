// saveFile on Windows. TagLib edits an in-memory view of the file read through one handle, the
// new content is checked as on POSIX systems, and a change is written as a complete copy beside
// the file, flushed and moved over it in one step. Nothing is written in place: Windows lets
// no save write a file that a reader may hold, and a rename is the one step that leaves the file
// old or new whatever happens, without a journal to apply afterwards.
#include "safesave.h"

#include "check.h"
#include "editstream.h"
#include "fnv1a.h"
#include "nativepath.h"
#include "plan.h"
#include "textconv.h"
#include "winfileio.h"

#include <cerrno>
#include <cstdint>

#include <windows.h>

namespace quillet {

namespace {

// ".<name>.quillet-copy" beside the file; a name too long for that (a name has at most 255
// UTF-16 units) keeps its beginning and gets a hash of the whole, so no two files share it.
std::wstring copyBeside(const std::wstring &path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = path.substr(0, slash + 1);
    std::wstring name = path.substr(slash + 1);
    const std::wstring suffix = L".quillet-copy";
    const std::size_t room = 255 - 1 - suffix.size();
    if (name.size() > room) {
        const std::uint64_t hash = fnv1a::of<std::uint16_t>(name);
        std::wstring hex = L"~";
        for (int shift = 60; shift >= 0; shift -= 4)
            hex += L"0123456789abcdef"[(hash >> shift) & 0xF];
        std::size_t cut = room - hex.size();
        if (name[cut] >= 0xDC00 && name[cut] <= 0xDFFF)
            --cut; // never half a surrogate pair
        name = name.substr(0, cut) + hex;
    }
    return folder + L"." + name + suffix;
}

bool writeContent(const EditStream &stream, int original, int to)
{
    long long at = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        const bool written = piece.added
                ? writeAt(to, stream.added().data() + piece.offset, piece.size, at)
                : copyRange(original, piece.offset, to, at, piece.size);
        if (!written)
            return false;
        at += piece.size;
    }
    return true;
}

// The new content as a complete, checked, flushed file beside the old one, then moved over it.
// The old file is closed first, since Windows renames nothing over a file that is open.
bool replaceWithCopy(const FileFacts &facts, Descriptor &original, const EditStream &stream,
                     const std::string &name, const Expectation &expected)
{
    const std::wstring copyPath = copyBeside(facts.path);
    // A copy left by a save that was cut off; one a running save holds is not removed, and the
    // new one cannot be created then.
    removeQuietly(copyPath);
    Descriptor copy = createNew(copyPath);
    if (!copy.isOpen())
        return false;
    bool ok = writeContent(stream, original.get(), copy.get()) && setFacts(copy.get(), facts)
            && flush(copy.get()) && sizeOf(copy.get()) == stream.size();
    if (ok) {
        EditStream written(copy.get(), stream.size(), name);
        ok = meets(written, expected);
    }
    copy.reset();
    original.reset();
    if (ok && moveOver(copyPath, facts.path))
        return true;
    removeQuietly(copyPath);
    return false;
}

} // namespace

bool saveFile(const std::wstring &path, const FileEditor &edit)
{
    const NativePath native(path);
    if (!native.isValid()) {
        errno = EINVAL;
        return false;
    }
    Descriptor original = openForSave(native.native());
    FileFacts facts;
    if (!original.isOpen() || !factsOf(original.get(), facts))
        return false;
    // A symbolic link is followed and stays: the copy is moved over the file it leads to.
    facts.path = native.native();
    if (native.isSymbolicLink() && !finalPathOf(original.get(), facts.path))
        return false;
    // Read-only is the file's own word, for every user; a file of several names stays one file.
    if ((facts.attributes & FILE_ATTRIBUTE_READONLY) || facts.links > 1) {
        errno = facts.links > 1 ? EMLINK : EACCES;
        return false;
    }

    // TagLib picks the file's class by the extension of this name.
    const std::string name = toUtf8(native.native());
    EditStream stream(original.get(), facts.size, name);
    Expectation expected;
    Plan plan;
    if (!editChecked(stream, edit, expected) || !planSave(stream, original.get(), true, plan))
        return false;
    return plan.way == Plan::Way::Unchanged
            || replaceWithCopy(facts, original, stream, name, expected);
}

} // namespace quillet
