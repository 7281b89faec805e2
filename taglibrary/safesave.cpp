#include "safesave.h"

#include "nativepath.h"
#include "quillet.h"

// saveFile on Windows: save/windowssave.cpp.
#ifndef _WIN32

#    include "errors.h"
#    include "save/check.h"
#    include "save/copywriter.h"
#    include "save/damage.h"
#    include "save/editstream.h"
#    include "save/fileio.h"
#    include "save/inplace.h"
#    include "save/journal.h"
#    include "save/plan.h"
#    include "save/recovery.h"
#    include "save/samefile.h"
#    include "save/target.h"

#    include <cerrno>

#    include <fcntl.h>
#    include <sys/stat.h>
#    include <unistd.h>

namespace quillet {

namespace {

// Where a save that cannot keep its journal beside the file keeps it: the user's state folder,
// made where missing. Empty path, with errno set, where there is none.
JournalPlace stateFolderPlace(const Target &target)
{
    JournalPlace place = journalInStateFolder(target);
    if (!makeStateFolder(place))
        place.path.clear();
    return place;
}

// The journal beside one of a file's names is not seen through the others: a pointer in the
// state folder leads there from every name, made and flushed before the journal. Its path, or
// empty where it cannot be made (the save then goes on as for a file of one name).
std::string pointTo(const JournalPlace &journal, const Target &target)
{
    const std::string pointer = namePointer(target.file.st_dev, target.file.st_ino);
    if (!makeStateFolder(journalInStateFolder(target))
        || symlink(journal.path.c_str(), pointer.c_str()) != 0)
        return std::string();
    syncFolder(journalInStateFolder(target).folder);
    return pointer;
}

// What a recovery that ends the save tells the caller.
int causeOf(Recovery recovery)
{
    return recovery == Recovery::Busy ? EBUSY : EACCES;
}

} // namespace

// The protocol, step by step:
// 1. Whatever a save that was cut off left beside the file (or in the state folder) is dealt
//    with; a running save of the same file, or a journal that cannot be applied, ends this one.
// 2. TagLib edits an in-memory view of the file (EditStream), held against in-place writers.
// 3. The new content must open as the same audio before anything is written.
// 4. It goes in place under a journal where every original byte keeps its offset (or where the
//    file may not be replaced), else as a complete copy renamed over the file. Where nothing
//    may be made beside the file, it goes in place, its journal in the user's state folder. A
//    file of several names keeps a pointer there to its journal while the save runs.
bool saveFile(const std::wstring &path, const FileEditor &edit)
{
    armFaults();
    const NativePath native(path);
    Target target;
    if (!native.isValid())
        return failWith(native.error());
    if (!resolveTarget(native.native(), target) || !fileWritable(target))
        return false;
    const Recovery recovery = recover(target);
    if (recovery == Recovery::Busy || recovery == Recovery::Blocked)
        return failWith(causeOf(recovery));
    const bool beside = recovery == Recovery::Clean && folderWritable(target);

    const Descriptor file(open(target.path.c_str(), O_RDWR | O_CLOEXEC));
    if (!file.isOpen())
        return false;
    struct stat opened;
    // Held, the file keeps its name until the save ends (a rename waits for the lock): a file
    // renamed meanwhile would get its copy, or its journal, under the old name.
    if (!isOpenOn(file.get(), target.file, opened)
        || !waitForLock(file.get(), Lock::Shared, lockTimeoutMs)
        || !namesOpenFile(target.path, file.get(), Links::Follow))
        return failWith(EBUSY);
    // A file cut short inside its tag would lose what TagLib could not read of it.
    if (endsInsideTag(file.get(), opened.st_size))
        return failWith(QUILLET_EDAMAGED);

    // TagLib works on the stream under the name it was given, whose extension picks the class.
    EditStream stream(file.get(), opened.st_size, native.native());
    Expectation expected;
    if (!editChecked(stream, edit, expected))
        return false;

    Plan plan;
    if (!planSave(stream, file.get(), beside && mayReplace(target), plan))
        return failWith(EIO);
    switch (plan.way) {
    case Plan::Way::Unchanged:
        return true;
    case Plan::Way::InPlace:
    case Plan::Way::Rewrite: {
        const JournalPlace place = beside ? journalBeside(target) : stateFolderPlace(target);
        const std::string pointer
                = beside && target.file.st_nlink > 1 ? pointTo(place, target) : std::string();
        const bool saved = !place.path.empty()
                && writeInPlace(target, place, file.get(), stream, plan, expected);
        if (!pointer.empty()) {
            const KeepErrno keep;
            unlink(pointer.c_str());
        }
        return saved;
    }
    case Plan::Way::Copy:
        break;
    }
    // Every save shows in the journal's name while it runs, one that writes a copy too.
    const std::unique_ptr<Journal> running
            = Journal::createForCopy(journalBeside(target), file.get());
    if (!running)
        return false;
    const bool replaced = replaceWithCopy(target, file.get(), stream, expected);
    const KeepErrno keep;
    running->remove();
    return replaced;
}

} // namespace quillet

#endif // !_WIN32
