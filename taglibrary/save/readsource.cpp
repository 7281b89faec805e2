#include "readsource.h"

#include <taglib/tiostream.h>

#ifdef _WIN32

namespace quillet {

// Windows saves by moving a complete copy over the file: no journal, nothing to undo.
ReadSource::ReadSource(const NativePath &) { }

ReadSource::~ReadSource() = default;

} // namespace quillet

#else

#    include "fileio.h"
#    include "journalview.h"
#    include "recovery.h"
#    include "samefile.h"
#    include "target.h"

#    include <cerrno>
#    include <ctime>

#    include <fcntl.h>
#    include <unistd.h>

namespace quillet {

namespace {

bool exists(const std::string &path)
{
    struct stat info;
    return fstatat(AT_FDCWD, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// Every running save keeps a journal beside the file, and so does every save cut off. Where the
// path's last part is no symbolic link, that is beside the path itself: one system call finds
// that there is none, which is nearly always so.
bool noJournalBeside(const NativePath &path)
{
    if (path.isSymbolicLink())
        return false;
    const std::string &given = path.native();
    const std::size_t slash = given.rfind('/');
    if (slash == std::string::npos)
        return !exists(journalName(given));
    return !exists(given.substr(0, slash + 1) + journalName(given.substr(slash + 1)));
}

// A save of a file whose folder this user cannot write keeps its journal in the state folder,
// named by the file's device and inode: one more system call, with those known already; and a
// save of a file with several names leaves a pointer there to its journal.
bool noJournalInStateFolder(const NativePath &path)
{
    if (path.inode() == 0)
        return false;
    const auto device = static_cast<dev_t>(path.device());
    const auto inode = static_cast<ino_t>(path.inode());
    const JournalPlace place = journalInStateFolder(device, inode);
    return place.path.empty() || (!exists(place.path) && !exists(namePointer(device, inode)));
}

} // namespace

ReadSource::ReadSource(const NativePath &path)
{
    Target target;
    if (!path.isValid() || (noJournalBeside(path) && noJournalInStateFolder(path))
        || !resolveTarget(path.native(), target))
        return;

    // A save holds the file only while its journal is complete: the file as it was is then the
    // file with the journal laid over it, whatever that save has written so far.
    const timespec pause {0, 1000000};
    Descriptor file;
    for (int attempt = 0; attempt < 100; ++attempt, nanosleep(&pause, nullptr)) {
        // The last attempt's shared lock goes first: a recovery waits for the file's exclusive
        // lock, and would wait for this very reader.
        file.reset();
        const Recovery recovery = recover(target);
        file.reset(open(target.path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file.isOpen())
            return;
        const bool held = tryLock(file.get(), Lock::Shared) == LockResult::Busy;
        std::unique_ptr<Journal> journal;
        const Journal::State state = standingJournal(target, journal);
        const bool tookEffect = state != Journal::State::None;
        if (tookEffect && isOpenOn(file.get(), target.file)
            && (state == Journal::State::Live || recovery == Recovery::Blocked)) {
            m_stream = std::make_unique<JournalView>(std::move(file), std::move(journal),
                                                     path.native());
            return;
        }
        // No journal that took effect: the file is whole, and held against new saves.
        if (!held && !tookEffect)
            break;
    }
    m_lock = file.release();
}

ReadSource::~ReadSource()
{
    m_stream.reset();
    if (m_lock >= 0)
        close(m_lock);
}

} // namespace quillet

#endif // _WIN32
