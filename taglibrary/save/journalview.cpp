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
    : m_file(std::move(file))
    , m_journal(std::move(journal))
    , m_name(std::move(name))
    , m_size(existingSize(m_file.get(), *m_journal))
{ }

TagLib::FileName JournalView::name() const
{
    return m_name.c_str();
}

TagLib::ByteVector JournalView::readBlock(BlockSize length)
{
    if (m_position >= m_size || length == 0)
        return TagLib::ByteVector();
    // A ByteVector counts its bytes in an unsigned int; a hostile size field can ask for more.
    const long long count = std::min<long long>(
            static_cast<long long>(std::min<BlockSize>(length, UINT_MAX)), m_size - m_position);
    TagLib::ByteVector block(static_cast<unsigned int>(count), '\0');
    char *out = block.data();
    long long at = m_position;
    const long long end = m_position + count;
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

void JournalView::seek(StreamOffset offset, Position p)
{
    m_position = seekTarget(m_position, m_size, offset, p);
}

StreamOffset JournalView::tell() const
{
    return static_cast<StreamOffset>(m_position);
}

StreamOffset JournalView::length()
{
    return static_cast<StreamOffset>(m_size);
}

} // namespace quillet
