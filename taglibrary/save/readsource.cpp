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

bool exists(const Target &target, const std::string &name)
{
    struct stat info;
    return fstatat(AT_FDCWD, besideTarget(target, name).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
            || errno != ENOENT;
}

Descriptor openFile(const Target &target)
{
    return Descriptor(open(target.path.c_str(), O_RDONLY | O_CLOEXEC));
}

} // namespace

ReadSource::ReadSource(const NativePath &path)
{
    Target target;
    if (!path.isValid() || !resolveTarget(path.native(), target))
        return; // TagLib finds out for itself
    Descriptor file = openFile(target);
    if (!file.isOpen())
        return;
    // Nearly always: nothing beside the file, which no save can now start to write.
    if (tryLock(file.get(), Lock::Shared) != LockResult::Busy
        && !exists(target, journalName(target.name)) && !exists(target, copyName(target.name))) {
        m_lock = file.release();
        return;
    }
    file.reset();

    // A save holds the file only while its journal is complete: the file as it was is then the
    // file with the journal laid over it, whatever that save has written so far.
    const timespec pause {0, 1000000};
    for (int attempt = 0; attempt < 100; ++attempt, nanosleep(&pause, nullptr)) {
        const Recovery recovery = recover(target);
        file = openFile(target);
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
