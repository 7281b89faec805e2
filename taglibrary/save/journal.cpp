#include "journal.h"

#include "fnv1a.h"
#include "samefile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

constexpr char magic[8] = {'Q', 'U', 'I', 'L', 'L', 'E', 'T', 'J'};
constexpr std::uint32_t formatVersion = 1;
constexpr std::uint32_t guardsCopyFlag = 1;
constexpr long long headerSize = 64;
constexpr long long checksumAt = 56;
constexpr long long recordHeaderSize = 16;
constexpr long long chunkSize = 1 << 20;

void putU32(unsigned char *at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void putU64(unsigned char *at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t getU32(const unsigned char *at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

std::uint64_t getU64(const unsigned char *at)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

// 64-bit FNV-1a over little-endian 8-byte words: a word changed anywhere changes the sum, and
// it keeps up with the disk.
class Checksum
{
public:
    void add(const void *data, long long count)
    {
        const auto *bytes = static_cast<const unsigned char *>(data);
        while (count > 0) {
            if (m_pending == 0 && count >= 8) {
                m_hash = fnv1a::step(m_hash, getU64(bytes));
                bytes += 8;
                count -= 8;
                continue;
            }
            m_word[m_pending++] = *bytes++;
            --count;
            if (m_pending == 8) {
                m_hash = fnv1a::step(m_hash, getU64(m_word));
                m_pending = 0;
            }
        }
    }
    // count zero bytes, as a hole in a sparse file reads: without reading them.
    void addZeros(long long count)
    {
        while (count > 0 && (m_pending != 0 || count < 8)) {
            const unsigned char zero = 0;
            add(&zero, 1);
            --count;
        }
        // A zero word only multiplies by the prime: n of them multiply by its n-th power.
        std::uint64_t factor = fnv1a::prime;
        for (auto words = static_cast<std::uint64_t>(count / 8); words; words >>= 1) {
            if (words & 1)
                m_hash *= factor;
            factor *= factor;
        }
        count %= 8;
        while (count-- > 0) {
            const unsigned char zero = 0;
            add(&zero, 1);
        }
    }
    std::uint64_t value() const
    {
        std::uint64_t hash = m_hash;
        for (unsigned int i = 0; i < m_pending; ++i)
            hash = fnv1a::step(hash, m_word[i]);
        return fnv1a::step(hash, m_pending);
    }

private:
    std::uint64_t m_hash = fnv1a::offsetBasis;
    unsigned char m_word[8] = {};
    unsigned int m_pending = 0;
};

// A journal's bytes are written back only where its owner is root, the file's owner or the user
// running this: a group (inherited from a setgid folder, or shown by an access list's mask)
// proves nothing about who could write the file.
bool trustworthy(const struct stat &journal, const struct stat &file)
{
    return journal.st_uid == 0 || journal.st_uid == geteuid() || journal.st_uid == file.st_uid;
}

// A journal beside the file lies on its file system: where that now has another device number
// than the journal records (mounted again), only the inode can tell. One in the state folder is
// named by both and must match both.
bool namesFile(const struct stat &journal, std::uint64_t device, std::uint64_t inode,
               const struct stat &file, bool beside)
{
    if (inode != static_cast<std::uint64_t>(file.st_ino))
        return false;
    return (beside && device != static_cast<std::uint64_t>(journal.st_dev))
            || device == static_cast<std::uint64_t>(file.st_dev);
}

// The bytes from offset on that are a hole in a sparse file, up to count: they read as zeros.
long long holeAt(int fd, long long offset, long long count)
{
#ifdef SEEK_DATA
    const off_t data = lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
    if (data < 0)
        return errno == ENXIO ? count : 0;
    return std::min(count, static_cast<long long>(data) - offset);
#else
    (void)fd;
    (void)offset;
    (void)count;
    return 0;
#endif
}

} // namespace

Journal::Journal(Descriptor fd, const JournalPlace &place)
    : m_fd(std::move(fd))
    , m_place(place)
{ }

std::unique_ptr<Journal> Journal::create(const JournalPlace &place, int file,
                                         const std::vector<Range> &ranges)
{
    return write(place, file, ranges, 0);
}

std::unique_ptr<Journal> Journal::createForCopy(const JournalPlace &place, int file)
{
    return write(place, file, {}, guardsCopyFlag);
}

std::unique_ptr<Journal> Journal::write(const JournalPlace &place, int file,
                                        const std::vector<Range> &ranges, std::uint32_t flags)
{
    struct stat original;
    if (fstat(file, &original) != 0)
        return nullptr;
    const std::string &path = place.path;
    // As readable as the file: a reader that cannot apply it still reads the file through it.
    const mode_t mode = (original.st_mode & 0666) | S_IRUSR | S_IWUSR;
    Descriptor fd(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd.isOpen())
        return nullptr;
    std::unique_ptr<Journal> journal(new Journal(std::move(fd), place));
    // Between the creation and the lock, another process may take the new, empty journal for
    // a stale one: it then holds it, or has removed it.
    if (tryLock(journal->fd(), Lock::Exclusive) == LockResult::Busy || !journal->stillNamed()) {
        errno = EBUSY;
        return nullptr;
    }
    (void)!fchmod(journal->fd(), mode); // past the umask; not worth failing for

    unsigned char header[headerSize] = {};
    std::memcpy(header, magic, sizeof magic);
    putU32(header + 8, formatVersion);
    putU32(header + 12, flags);
    putU64(header + 16, static_cast<std::uint64_t>(original.st_dev));
    putU64(header + 24, static_cast<std::uint64_t>(original.st_ino));
    putU64(header + 32, static_cast<std::uint64_t>(original.st_size));
    long long recordBytes = 0;
    for (const Range &range : ranges)
        recordBytes += recordHeaderSize + range.size;
    putU64(header + 40, ranges.size());
    putU64(header + 48, static_cast<std::uint64_t>(recordBytes));
    Checksum sum;
    sum.add(header, checksumAt);

    // The records first, the header last: until the header is written, nothing reads as a
    // journal, and the checksum tells whether the rest reached the disk.
    std::vector<char> buffer;
    long long at = headerSize;
    bool ok = true;
    for (const Range &range : ranges) {
        unsigned char recordHeader[recordHeaderSize];
        putU64(recordHeader, static_cast<std::uint64_t>(range.offset));
        putU64(recordHeader + 8, static_cast<std::uint64_t>(range.size));
        sum.add(recordHeader, recordHeaderSize);
        ok = writeAt(journal->fd(), reinterpret_cast<const char *>(recordHeader), recordHeaderSize,
                     at);
        journal->m_records.push_back({range.offset, range.size, at + recordHeaderSize});
        at += recordHeaderSize;
        buffer.resize(static_cast<std::size_t>(std::min(range.size, chunkSize)));
        for (long long done = 0; ok && done < range.size; done += chunkSize) {
            const long long count = std::min(chunkSize, range.size - done);
            ok = (readAt(file, buffer.data(), count, range.offset + done) == count || failWith(EIO))
                    && writeAt(journal->fd(), buffer.data(), count, at);
            sum.add(buffer.data(), count);
            at += count;
        }
        if (!ok)
            break;
    }
    putU64(header + checksumAt, sum.value());
    journal->m_oldSize = original.st_size;
    journal->m_guardsCopy = flags & guardsCopyFlag;
    // The journal of a copy guards nothing on disk: lost in a crash, it only leaves the copy for
    // the next save to remove.
    ok = ok && writeAt(journal->fd(), reinterpret_cast<const char *>(header), headerSize, 0)
            && (journal->m_guardsCopy || syncFile(journal->fd()));
    if (!ok) {
        const KeepErrno keep;
        journal->remove();
        return nullptr;
    }
    if (!journal->m_guardsCopy)
        syncFolder(place.folder);
    return journal;
}

Journal::State Journal::find(const JournalPlace &place, const struct stat &file,
                             std::unique_ptr<Journal> &journal)
{
    journal.reset();
    if (place.path.empty())
        return State::None;
    Descriptor fd(open(place.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen()) {
        if (errno == ELOOP)
            return State::Stale;
        // A state folder this user cannot reach holds no journal of theirs.
        return errno == ENOENT || !place.beside ? State::None : State::InTheWay;
    }
    struct stat info;
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return State::InTheWay;
    std::unique_ptr<Journal> found(new Journal(std::move(fd), place));
    if (isLocked(found->fd())) {
        // Its records are of use once it is complete: a reader then sees the file as it was.
        if (found->read(file))
            journal = std::move(found);
        return State::Live;
    }
    const bool complete = found->read(file);
    journal = std::move(found);
    return complete ? State::Complete : State::Stale;
}

bool Journal::read(const struct stat &file)
{
    m_records.clear();
    struct stat self;
    if (fstat(fd(), &self) != 0 || self.st_nlink != 1 || !trustworthy(self, file)
        || self.st_size < headerSize)
        return false;
    unsigned char header[headerSize];
    if (readAt(fd(), reinterpret_cast<char *>(header), headerSize, 0) != headerSize
        || std::memcmp(header, magic, sizeof magic) != 0 || getU32(header + 8) != formatVersion
        || (getU32(header + 12) & ~guardsCopyFlag) != 0)
        return false;
    m_guardsCopy = getU32(header + 12) & guardsCopyFlag;
    const std::uint64_t oldSize = getU64(header + 32);
    const std::uint64_t count = getU64(header + 40);
    const std::uint64_t recordBytes = getU64(header + 48);
    if (!namesFile(self, getU64(header + 16), getU64(header + 24), file, m_place.beside)
        || oldSize > static_cast<std::uint64_t>(LLONG_MAX)
        || recordBytes != static_cast<std::uint64_t>(self.st_size - headerSize)
        || count > recordBytes / recordHeaderSize)
        return false;
    // Judged before a record is read: the records hold original bytes of the file, so at most
    // its old size; and what the file lacks of its old size can come from the records alone.
    const std::uint64_t originals = recordBytes - count * recordHeaderSize;
    const auto size = static_cast<std::uint64_t>(file.st_size);
    if (originals > oldSize || (oldSize > size && oldSize - size > originals))
        return false;
    if (!readRecords(header, file, self.st_size) || (m_guardsCopy && count != 0))
        return false;
    m_oldSize = static_cast<long long>(oldSize);
    return true;
}

bool Journal::readRecords(const unsigned char *header, const struct stat &file, long long end)
{
    const std::uint64_t oldSize = getU64(header + 32);
    const std::uint64_t count = getU64(header + 40);
    Checksum sum;
    sum.add(header, checksumAt);
    std::vector<char> buffer;
    long long at = headerSize;
    long long covered = 0; // records must not overlap, and stay within the old size
    // Every byte from the file's end up to its old size must come from a record: a journal that
    // would fill a file with bytes it never had makes no sense.
    long long reach = file.st_size;
    for (std::uint64_t i = 0; i < count; ++i) {
        unsigned char recordHeader[recordHeaderSize];
        if (readAt(fd(), reinterpret_cast<char *>(recordHeader), recordHeaderSize, at)
            != recordHeaderSize)
            return false;
        sum.add(recordHeader, recordHeaderSize);
        const std::uint64_t offset = getU64(recordHeader);
        const std::uint64_t size = getU64(recordHeader + 8);
        at += recordHeaderSize;
        if (size == 0 || offset < static_cast<std::uint64_t>(covered) || offset > oldSize
            || size > oldSize - offset || size > static_cast<std::uint64_t>(end - at)
            || offset > static_cast<std::uint64_t>(reach))
            return false;
        const auto length = static_cast<long long>(size);
        m_records.push_back({static_cast<long long>(offset), length, at});
        buffer.resize(static_cast<std::size_t>(std::min(length, chunkSize)));
        for (long long done = 0; done < length;) {
            // Holes are summed without reading: a sparse journal of gigabytes costs nothing.
            const long long chunk = std::min(chunkSize, length - done);
            const long long zeros = holeAt(fd(), at + done, chunk);
            if (zeros > 0) {
                sum.addZeros(zeros);
                done += zeros;
                continue;
            }
            if (readAt(fd(), buffer.data(), chunk, at + done) != chunk)
                return false;
            sum.add(buffer.data(), chunk);
            done += chunk;
        }
        at += length;
        covered = static_cast<long long>(offset + size);
        reach = std::max(reach, covered);
    }
    return at == end && reach >= static_cast<long long>(oldSize)
            && sum.value() == getU64(header + checksumAt);
}

bool Journal::applyTo(int file) const
{
    for (const Record &record : m_records) {
        if (!copyRange(fd(), record.at, file, record.offset, record.size))
            return false;
    }
    return truncateFile(file, m_oldSize) && syncFile(file);
}

bool Journal::takeOver()
{
    // Exclusive where the journal opens for writing, else shared: either keeps a new save from
    // locking the name's next journal while this one is removed.
    Descriptor writable(open(m_place.path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat mine;
    if (writable.isOpen() && fstat(fd(), &mine) == 0 && isOpenOn(writable.get(), mine))
        m_fd = std::move(writable);
    const Lock kind = (fcntl(fd(), F_GETFL) & O_ACCMODE) == O_RDWR ? Lock::Exclusive : Lock::Shared;
    return tryLock(fd(), kind) != LockResult::Busy && stillNamed();
}

bool Journal::remove()
{
    if (!stillNamed())
        return true; // gone already
    if (unlink(m_place.path.c_str()) != 0)
        return false;
    if (!m_guardsCopy)
        syncFolder(m_place.folder);
    return true;
}

bool Journal::stillNamed() const
{
    return namesOpenFile(m_place.path, fd(), Links::Keep);
}

void removeIfLink(const std::string &path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        unlink(path.c_str());
}

} // namespace quillet
