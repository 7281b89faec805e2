#include "editstream.h"

#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace quillet {

namespace {

constexpr long long windowSize = 64 * 1024;

// TagLib's block sizes are unsigned and may come from a broken file: past LLONG_MAX they would
// turn negative here.
long long countOf(BlockSize count)
{
    return static_cast<long long>(std::min<unsigned long long>(count, LLONG_MAX));
}

} // namespace

EditStream::EditStream(int fd, long long size, std::string name)
    : PositionedStream(std::move(name), std::max(size, 0LL))
    , m_fd(fd)
    , m_originalSize(m_size)
{
    if (m_originalSize > 0)
        m_pieces.push_back({0, m_originalSize, false});
}

TagLib::ByteVector EditStream::readBlock(BlockSize length)
{
    TagLib::ByteVector block = blockFor(length);
    const long long count = block.size();
    if (count == 0)
        return block;
    long long done = 0;
    long long pieceStart = 0;
    char *out = block.data();
    for (const Piece &piece : m_pieces) {
        const long long pieceEnd = pieceStart + piece.size;
        const long long at = m_position + done;
        if (at < pieceEnd) {
            const long long skip = at - pieceStart;
            const long long take = std::min(piece.size - skip, count - done);
            if (piece.added) {
                std::memcpy(out + done, m_added.data() + piece.offset + skip,
                            static_cast<std::size_t>(take));
            } else if (readOriginal(piece.offset + skip, out + done, take) != take) {
                m_readFailed = true;
                block.resize(static_cast<unsigned int>(done));
                m_position += done;
                return block;
            }
            done += take;
            if (done == count)
                break;
        }
        pieceStart = pieceEnd;
    }
    m_position += done;
    return block;
}

void EditStream::writeBlock(const TagLib::ByteVector &data)
{
    fillTo(m_position);
    const long long count = data.size();
    replace(m_position, std::min(count, m_size - m_position), data.data(), count);
    m_position += count;
}

void EditStream::insert(const TagLib::ByteVector &data, BlockOffset start, BlockSize replaced)
{
    const auto at = static_cast<long long>(start);
    if (at < 0)
        return; // a position before the start, as a broken file can make TagLib ask for
    fillTo(at);
    replace(at, std::min(countOf(replaced), m_size - at), data.data(), data.size());
    m_position = at + data.size();
}

void EditStream::removeBlock(BlockOffset start, BlockSize length)
{
    const auto at = static_cast<long long>(start);
    if (at >= 0 && at < m_size)
        replace(at, std::min(countOf(length), m_size - at), nullptr, 0);
    m_position = m_size;
}

void EditStream::truncate(StreamOffset length)
{
    if (length < 0)
        return;
    if (length < m_size)
        replace(length, m_size - length, nullptr, 0);
    else
        fillTo(length);
}

void EditStream::replace(long long start, long long length, const char *bytes, long long count)
{
    std::vector<Piece> pieces;
    pieces.reserve(m_pieces.size() + 2);
    const auto append = [&pieces](const Piece &piece) {
        if (piece.size <= 0)
            return;
        // Neighbours that continue each other become one piece.
        if (!pieces.empty()) {
            Piece &last = pieces.back();
            if (last.added == piece.added && last.offset + last.size == piece.offset) {
                last.size += piece.size;
                return;
            }
        }
        pieces.push_back(piece);
    };
    Piece inserted {static_cast<long long>(m_added.size()), count, true};
    if (count > 0)
        m_added.append(bytes, static_cast<std::size_t>(count));

    const long long end = start + length;
    bool placed = false;
    long long pieceStart = 0;
    for (const Piece &piece : m_pieces) {
        const long long pieceEnd = pieceStart + piece.size;
        if (pieceStart < start)
            append({piece.offset, std::min(pieceEnd, start) - pieceStart, piece.added});
        if (!placed && pieceEnd >= start) {
            append(inserted);
            placed = true;
        }
        if (pieceEnd > end) {
            const long long from = std::max(pieceStart, end);
            append({piece.offset + (from - pieceStart), pieceEnd - from, piece.added});
        }
        pieceStart = pieceEnd;
    }
    if (!placed)
        append(inserted);
    m_pieces = std::move(pieces);
    m_size += count - length;
}

void EditStream::fillTo(long long position)
{
    if (position > m_size) {
        const std::string zeros(static_cast<std::size_t>(position - m_size), '\0');
        replace(m_size, 0, zeros.data(), static_cast<long long>(zeros.size()));
    }
}

long long EditStream::readOriginal(long long offset, char *out, long long count)
{
    if (count >= windowSize)
        return readAt(m_fd, out, count, offset);

    const bool inWindow = m_windowOffset >= 0 && offset >= m_windowOffset
            && offset + count <= m_windowOffset + static_cast<long long>(m_window.size());
    if (!inWindow) {
        m_window.resize(static_cast<std::size_t>(windowSize));
        const long long got = readAt(m_fd, m_window.data(), windowSize, offset);
        m_window.resize(static_cast<std::size_t>(got));
        m_windowOffset = offset;
    }
    const long long available
            = std::min(count, m_windowOffset + static_cast<long long>(m_window.size()) - offset);
    std::memcpy(out, m_window.data() + (offset - m_windowOffset),
                static_cast<std::size_t>(available));
    return available;
}

} // namespace quillet
