#include "recovery.h"

#include "fileio.h"
#include "samefile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

// A copy of the copy-and-rename way that nobody holds belongs to no running save.
Recovery removeStaleCopy(const Target &target, bool mayRemove)
{
    const std::string path = besideTarget(target, copyName(target.name));
    Descriptor copy(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!copy.isOpen()) {
        if (errno == ELOOP && mayRemove)
            removeIfLink(path);
        return errno == ENOENT || errno == ELOOP ? Recovery::Clean : Recovery::NameTaken;
    }
    struct stat info;
    struct stat named;
    if (fstat(copy.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return Recovery::NameTaken;
    if (isLocked(copy.get()))
        return Recovery::Busy;
    if (!mayRemove)
        return Recovery::Clean; // the file itself is whole: a copy never touches it
    // Locked while it is removed, so that no new save can take the name meanwhile.
    if (tryLock(copy.get(), Lock::Shared) == LockResult::Busy)
        return Recovery::Busy;
    if (lstat(path.c_str(), &named) == 0 && sameFile(named, info))
        unlink(path.c_str());
    return Recovery::Clean;
}

// Writes the journal's bytes back into the file it names; false where the file cannot be
// written or is held by another.
bool apply(const Target &target, const Journal &journal)
{
    const Descriptor file(open(target.path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    return file.isOpen() && isOpenOn(file.get(), target.file)
            && waitForLock(file.get(), Lock::Exclusive, lockTimeoutMs)
            && journal.applyTo(file.get());
}

// True when the file came into being after the journal was last written: the journal was made
// for an earlier file that had its inode. Only a journal in the state folder, named by device and
// inode alone, needs this; file systems that keep no birth time cannot tell.
bool bornAfter(const Target &target, const Journal &journal)
{
#ifdef STATX_BTIME
    struct statx file;
    struct stat written;
    if (statx(AT_FDCWD, target.path.c_str(), 0, STATX_BTIME, &file) != 0
        || !(file.stx_mask & STATX_BTIME) || fstat(journal.fd(), &written) != 0)
        return false;
    const timespec &last = written.st_mtim;
    return file.stx_btime.tv_sec > last.tv_sec
            || (file.stx_btime.tv_sec == last.tv_sec && file.stx_btime.tv_nsec > last.tv_nsec);
#else
    (void)target;
    (void)journal;
    return false;
#endif
}

// Journal::find, where a journal in the state folder that an earlier file left counts as stale.
Journal::State findAt(const Target &target, const JournalPlace &place,
                      std::unique_ptr<Journal> &journal)
{
    const Journal::State state = Journal::find(place, target.file, journal);
    if (!place.beside && state == Journal::State::Complete && bornAfter(target, *journal))
        return Journal::State::Stale;
    return state;
}

// A journal nothing of the file was written under goes, unread, where it may; else its name
// stays taken.
Recovery removeStale(const JournalPlace &place, Journal *journal, bool mayRemove)
{
    const Recovery taken = place.beside ? Recovery::NameTaken : Recovery::Blocked;
    if (!mayRemove)
        return taken;
    if (!journal) {
        removeIfLink(place.path);
        return Recovery::Clean;
    }
    if (!journal->takeOver())
        return Recovery::Busy;
    return journal->remove() ? Recovery::Clean : taken;
}

Recovery recoverAt(const Target &target, const JournalPlace &place, bool mayRemove)
{
    std::unique_ptr<Journal> journal;
    switch (findAt(target, place, journal)) {
    case Journal::State::None:
        return Recovery::Clean;
    case Journal::State::InTheWay:
        return place.beside ? Recovery::NameTaken : Recovery::Blocked;
    case Journal::State::Live:
        return Recovery::Busy;
    case Journal::State::Stale:
        // Incomplete, damaged, another file's or a stranger's: nothing of the file was written
        // under it.
        return removeStale(place, journal.get(), mayRemove);
    case Journal::State::Complete:
        break;
    }
    if (journal->guardsCopy()) {
        // A save that wrote a copy was cut off: the file itself was never written.
        if (!mayRemove)
            return Recovery::Clean;
        return journal->takeOver() && journal->remove() ? Recovery::Clean : Recovery::Busy;
    }
    // A save was cut off after its journal was complete: the file goes back to what it was.
    if (mayRemove && fileWritable(target) && journal->takeOver() && apply(target, *journal)
        && journal->remove())
        return Recovery::Clean;
    return Recovery::Blocked;
}

// A journal that a save through another name of the file keeps beside that name: applied where
// it is complete; the pointer goes once the journal has.
Recovery recoverPointed(const Target &target)
{
    const JournalPlace place = pointedJournal(target.file.st_dev, target.file.st_ino);
    if (place.path.empty())
        return Recovery::Clean;
    std::unique_ptr<Journal> journal;
    switch (Journal::find(place, target.file, journal)) {
    case Journal::State::Live:
        return Recovery::Busy;
    case Journal::State::Complete: {
        journal.reset();
        const bool mayRemove
                = faccessat(AT_FDCWD, place.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
        if (const Recovery recovery = recoverAt(target, place, mayRemove);
            recovery != Recovery::Clean)
            return recovery;
        break;
    }
    default:
        break; // gone, or no journal of this file: nothing for the pointer to lead to
    }
    const std::string pointer = namePointer(target.file.st_dev, target.file.st_ino);
    removeIfLink(pointer);
    return Recovery::Clean;
}

// The more serious of two outcomes: a save or a journal in the way before a taken name.
Recovery worse(Recovery a, Recovery b)
{
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

} // namespace

JournalPlace journalInStateFolder(const Target &target)
{
    return journalInStateFolder(target.file.st_dev, target.file.st_ino);
}

Recovery recover(const Target &target)
{
    const bool mayRemove = folderWritable(target);
    const Recovery copy = removeStaleCopy(target, mayRemove);
    const Recovery beside = recoverAt(target, journalBeside(target), mayRemove);
    if (beside == Recovery::Busy || beside == Recovery::Blocked)
        return beside;
    const Recovery pointed = recoverPointed(target);
    if (pointed == Recovery::Busy || pointed == Recovery::Blocked)
        return pointed;
    return worse(worse(copy, beside), recoverAt(target, journalInStateFolder(target), true));
}

Journal::State standingJournal(const Target &target, std::unique_ptr<Journal> &journal)
{
    for (const JournalPlace &place :
         {journalBeside(target), pointedJournal(target.file.st_dev, target.file.st_ino),
          journalInStateFolder(target)}) {
        const Journal::State state = findAt(target, place, journal);
        if (journal && !journal->guardsCopy()
            && (state == Journal::State::Live || state == Journal::State::Complete))
            return state;
    }
    journal.reset();
    return Journal::State::None;
}

} // namespace quillet
