#include "readsource.h"

#include <taglib/tiostream.h>

#ifdef _WIN32

namespace quillet {

// Windows saves in place as TagLib does, without a journal.
ReadSource::ReadSource(const NativePath &) { }

ReadSource::~ReadSource() = default;

} // namespace quillet

#else

#    include "fileio.h"
#    include "journalview.h"
#    include "recovery.h"
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

Descriptor openFile(const std::string &path)
{
    return Descriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

// Nearly always there is nothing beside the file, and no save can start to write it while the
// lock is held: a few system calls, no resolving of the path. Only a path whose last part is a
// symbolic link has its journal elsewhere.
bool nothingBeside(const std::string &given, int file)
{
    struct stat named;
    if (tryLock(file, Lock::Shared) == LockResult::Busy || lstat(given.c_str(), &named) != 0
        || S_ISLNK(named.st_mode))
        return false;
    const std::size_t slash = given.rfind('/');
    const std::string folder
            = slash == std::string::npos ? std::string() : given.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? given : given.substr(slash + 1);
    return !exists(folder + journalName(name)) && !exists(folder + copyName(name));
}

} // namespace

ReadSource::ReadSource(const NativePath &path)
{
    if (!path.isValid())
        return;
    Descriptor file = openFile(path.native());
    if (!file.isOpen())
        return; // TagLib finds out for itself
    if (nothingBeside(path.native(), file.get())) {
        m_lock = file.release();
        return;
    }
    file.reset();
    Target target;
    if (!resolveTarget(path.native(), target))
        return;

    // A save holds the file only while its journal is complete: the file as it was is then the
    // file with the journal laid over it, whatever that save has written so far.
    const timespec pause {0, 1000000};
    for (int attempt = 0; attempt < 100; ++attempt, nanosleep(&pause, nullptr)) {
        const Recovery recovery = recover(target);
        file = openFile(target.path);
        if (!file.isOpen())
            return;
        const bool held = tryLock(file.get(), Lock::Shared) == LockResult::Busy;
        std::unique_ptr<Journal> journal;
        const Journal::State state = Journal::find(target, journal);
        const bool throughJournal = journal
                && (state == Journal::State::Live
                    || (state == Journal::State::Complete && recovery == Recovery::Blocked));
        if (throughJournal) {
            m_stream = std::make_unique<JournalView>(std::move(file), std::move(journal),
                                                     path.native());
            return;
        }
        // No journal that took effect: the file is whole, and held against new saves.
        if (!held && state != Journal::State::Complete)
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
