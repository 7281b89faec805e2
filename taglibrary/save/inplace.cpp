#include "inplace.h"

#include "editstream.h"
#include "fileio.h"
#include "journal.h"
#include "samefile.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

// Makes room for a file that grows before anything of it is overwritten, so that a full disk
// or a size limit is met while the file is whole.
bool reserve(int fd, long long oldSize, long long newSize)
{
    if (newSize <= oldSize || reserveSpace(fd, oldSize, newSize - oldSize))
        return true;
    const KeepErrno keep;
    (void)!truncateFile(fd, oldSize);
    return false;
}

// Everything from start on, rewritten: TagLib's bytes from memory, the original's from the
// journal where they lay at or past start (those are overwritten), else from the file.
bool rewriteFrom(long long start, int file, const EditStream &stream, const Journal &journal)
{
    const long long kept = journal.records().empty() ? 0 : journal.records().front().at;
    long long position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        const long long end = position + piece.size;
        const long long skip = std::max(0LL, start - position);
        if (skip < piece.size) {
            const long long at = position + skip;
            const long long count = piece.size - skip;
            const long long from = piece.offset + skip;
            bool ok;
            if (piece.added) {
                ok = writeAt(file, stream.added().data() + from, count, at);
            } else {
                const long long fromFile = std::clamp(start - from, 0LL, count);
                ok = copyRange(file, from, file, at, fromFile)
                        && copyRange(journal.fd(), kept + (from + fromFile - start), file,
                                     at + fromFile, count - fromFile);
            }
            if (!ok)
                return false;
        }
        position = end;
    }
    return true;
}

bool writeChanges(const Plan &plan, int file, const EditStream &stream, const Journal &journal)
{
    if (plan.way == Plan::Way::Rewrite) {
        const long long start = plan.saved.empty() ? plan.oldSize : plan.saved.front().offset;
        if (!rewriteFrom(start, file, stream, journal))
            return false;
    } else {
        for (const Write &write : plan.writes) {
            if (!writeAt(file, write.data, write.size, write.offset))
                return false;
        }
    }
    struct stat info;
    if (fstat(file, &info) != 0)
        return false;
    return (info.st_size == plan.newSize || truncateFile(file, plan.newSize)) && syncFile(file);
}

} // namespace

bool writeInPlace(const Target &target, const JournalPlace &place, int file,
                  const EditStream &stream, const Plan &plan, const Expectation &expected)
{
    const std::unique_ptr<Journal> journal = Journal::create(place, file, plan.saved);
    if (!journal)
        return false;
    // The file may have been replaced while this save read it: its change would be lost.
    bool ok = waitForLock(file, Lock::Exclusive, lockTimeoutMs) || failWith(EBUSY);
    ok = ok && (namesOpenFile(target.path, file, Links::Follow) || failWith(EBUSY));
    if (!ok || !reserve(file, plan.oldSize, plan.newSize)) {
        const KeepErrno keep;
        journal->remove();
        return false;
    }
    ok = writeChanges(plan, file, stream, *journal);
    if (ok) {
        EditStream written(file, plan.newSize, stream.name());
        ok = meets(written, expected) || failWith(EIO);
    }
    // A journal that stayed would take the file back to its old content at the next access.
    if (ok && journal->remove())
        return true;
    const KeepErrno keep;
    if (journal->applyTo(file))
        journal->remove();
    return false;
}

} // namespace quillet
