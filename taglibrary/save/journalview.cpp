#include "journalview.h"

#include "editstream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include <sys/stat.h>

namespace quillet {

namespace {

// The old size, within the bytes that exist: the file's own and those the records hold. Nothing
// is ever asked for beyond them, however a journal came to claim more.
long long existingSize(int file, const Journal &journal)
{
    struct stat info;
    long long size = fstat(file, &info) == 0 ? static_cast<long long>(info.st_size) : 0;
    if (!journal.records().empty()) {
        const Journal::Record &last = journal.records().back();
        size = std::max(size, last.offset + last.size);
    }
    return std::min(size, journal.oldSize());
}

} // namespace

JournalView::JournalView(Descriptor file, std::unique_ptr<Journal> journal, std::string name)
    : PositionedStream(std::move(name), existingSize(file.get(), *journal))
    , m_file(std::move(file))
    , m_journal(std::move(journal))
{ }

TagLib::ByteVector JournalView::readBlock(BlockSize length)
{
    TagLib::ByteVector block = blockFor(length);
    if (block.isEmpty())
        return block;
    char *out = block.data();
    long long at = m_position;
    const long long end = m_position + block.size();
    // Records are in ascending order: the file's bytes between them, the journal's within.
    bool ok = true;
    for (const Journal::Record &record : m_journal->records()) {
        if (!ok || at >= end)
            break;
        const long long recordEnd = record.offset + record.size;
        if (recordEnd <= at)
            continue;
        if (record.offset > at) {
            const long long gap = std::min(record.offset, end) - at;
            ok = readAt(m_file.get(), out + (at - m_position), gap, at) == gap;
            if (ok)
                at += gap;
        }
        const long long take = std::min(recordEnd, end) - at;
        if (ok && take > 0) {
            const long long from = record.at + (at - record.offset);
            ok = readAt(m_journal->fd(), out + (at - m_position), take, from) == take;
            if (ok)
                at += take;
        }
    }
    if (ok && at < end && readAt(m_file.get(), out + (at - m_position), end - at, at) == end - at)
        at = end;
    block.resize(static_cast<unsigned int>(at - m_position));
    m_position = at;
    return block;
}

} // namespace quillet
