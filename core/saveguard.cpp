#include "saveguard.h"

#include "save/samefile.h"
#include "save/target.h"
#include "tagrecord.h"
#include "widetext.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

using namespace quillet;

namespace {

// A save made this journal: one that runs holds it.
bool isHeld(const std::string &path)
{
    const Descriptor fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    return fd.isOpen() && isLocked(fd.get());
}

} // namespace

SaveGuard::~SaveGuard()
{
    release();
}

int SaveGuard::take(const QByteArray &path)
{
    int error = EBUSY;
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool again = false;
        error = tryTake(path, &again);
        if (!again)
            return error;
        release();
        // Whatever a cut-off save left is dealt with by the next read of the file.
        TagRecord().read(fromNativeName(path));
    }
    return error;
}

int SaveGuard::tryTake(const QByteArray &path, bool *again)
{
    Target target;
    errno = 0;
    if (!resolveTarget(path.toStdString(), target))
        return errno != 0 ? errno : ENOENT;
    const JournalPlace beside = journalBeside(target);
    m_journal.reset(
            open(beside.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!m_journal.isOpen()) {
        if (errno != EEXIST)
            return errno;
        *again = !isHeld(beside.path);
        return EBUSY;
    }
    // Another reader may have taken the new, empty journal for a stale one and removed it.
    if (tryLock(m_journal.get(), Lock::Exclusive) == LockResult::Busy
        || !namesOpenFile(beside.path, m_journal.get(), Links::Keep)) {
        m_journal.reset();
        *again = true;
        return EBUSY;
    }
    m_journalPath = beside.path;
    if (const int error = lockFile(target.path))
        return error;
    // No save runs now: a journal in the state folder is one that was cut off.
    const JournalPlace state = journalInStateFolder(target.file.st_dev, target.file.st_ino);
    *again = !state.path.empty() && access(state.path.c_str(), F_OK) == 0;
    return *again ? EBUSY : 0;
}

int SaveGuard::lockFile(const std::string &path)
{
    // A lock to write needs the file open for writing; a file that cannot be written has no
    // save to wait for, and a shared lock keeps any other writer away.
    Lock kind = Lock::Exclusive;
    m_file.reset(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!m_file.isOpen()) {
        kind = Lock::Shared;
        m_file.reset(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!m_file.isOpen())
        return errno;
    return waitForLock(m_file.get(), kind, lockTimeoutMs) ? 0 : EBUSY;
}

void SaveGuard::release()
{
    m_file.reset();
    if (!m_journalPath.empty() && namesOpenFile(m_journalPath, m_journal.get(), Links::Keep))
        unlink(m_journalPath.c_str());
    m_journalPath.clear();
    m_journal.reset();
}
