#include "recovery.h"

#include "fileio.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

// Readers hold the file for moments; a save that copies a large file, a little longer.
constexpr int lockTimeoutMs = 20000;

bool folderWritable(const Target &target)
{
    const mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    return (target.folderStat.st_mode & anyWrite) != 0
            && faccessat(AT_FDCWD, target.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A copy of the copy-and-rename way that nobody holds belongs to no running save.
Recovery removeStaleCopy(const Target &target, bool mayRemove)
{
    const std::string path = besideTarget(target, copyName(target.name));
    Descriptor copy(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!copy.isOpen()) {
        if (errno == ELOOP && mayRemove)
            removeIfLink(path);
        return errno == ENOENT || errno == ELOOP ? Recovery::Clean : Recovery::Blocked;
    }
    struct stat info;
    struct stat named;
    if (fstat(copy.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return Recovery::Blocked;
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
    struct stat info;
    return file.isOpen() && fstat(file.get(), &info) == 0 && sameFile(info, target.file)
            && waitForLock(file.get(), Lock::Exclusive, lockTimeoutMs)
            && journal.applyTo(file.get());
}

} // namespace

Recovery recover(const Target &target, std::unique_ptr<Journal> *complete)
{
    const bool mayRemove = folderWritable(target);
    const Recovery copy = removeStaleCopy(target, mayRemove);

    std::unique_ptr<Journal> journal;
    switch (Journal::find(target, journal)) {
    case Journal::State::None:
        return copy;
    case Journal::State::InTheWay:
        return Recovery::Blocked;
    case Journal::State::Live:
        if (complete)
            *complete = std::move(journal);
        return Recovery::Busy;
    case Journal::State::Stale:
        // Incomplete, damaged, another file's or a stranger's: nothing of the file was written
        // under it. It goes, unread.
        if (!mayRemove)
            return Recovery::Blocked;
        if (!journal) {
            removeIfLink(besideTarget(target, journalName(target.name)));
            return copy;
        }
        return journal->takeOver() && journal->remove() ? copy : Recovery::Busy;
    case Journal::State::Complete:
        break;
    }
    if (journal->guardsCopy()) {
        // A save that wrote a copy was cut off: the file itself was never written.
        if (!mayRemove)
            return copy;
        return journal->takeOver() && journal->remove() ? copy : Recovery::Busy;
    }
    // A save was cut off after its journal was complete: the file goes back to what it was.
    if (isWritable(target) && journal->takeOver() && apply(target, *journal) && journal->remove())
        return copy;
    if (complete)
        *complete = std::move(journal);
    return Recovery::Blocked;
}

} // namespace quillet
