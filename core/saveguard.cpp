#include "saveguard.h"

#include "save/samefile.h"
#include "save/target.h"
#include "tagrecord.h"
#include "widetext.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>

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
    const std::string pointer = namePointer(target.file.st_dev, target.file.st_ino);
    struct stat info;
    *again = (!state.path.empty() && access(state.path.c_str(), F_OK) == 0)
            || (!pointer.empty() && lstat(pointer.c_str(), &info) == 0);
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

void removeLeftJournals(const QString &folder)
{
    const QByteArray path = folder.isEmpty() ? QByteArray(".") : nativeName(folder);
    const Descriptor directory(open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR *entries = directory.isOpen() ? fdopendir(dup(directory.get())) : nullptr;
    if (!entries)
        return;
    static constexpr char suffix[] = ".quillet-journal";
    const std::size_t suffixLength = sizeof suffix - 1;
    while (const dirent *entry = readdir(entries)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (entry->d_name[0] != '.' || length <= suffixLength + 1
            || std::strcmp(entry->d_name + length - suffixLength, suffix) != 0)
            continue;
        const Descriptor journal(openat(directory.get(), entry->d_name,
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info;
        struct stat named;
        // Held, it belongs to a running save or rename; locked here, no save takes it meanwhile.
        if (!journal.isOpen() || fstat(journal.get(), &info) != 0 || !S_ISREG(info.st_mode)
            || info.st_size != 0 || tryLock(journal.get(), Lock::Shared) == LockResult::Busy)
            continue;
        if (fstatat(directory.get(), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0
            && sameFile(named, info))
            unlinkat(directory.get(), entry->d_name, 0);
    }
    closedir(entries);
}
