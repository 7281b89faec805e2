#include "plan.h"

#include "editstream.h"
#include "fileio.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

// Bytes are compared in blocks of this size: a changed block is written whole, which keeps the
// journal's records few where a tag changes here and there.
constexpr long long blockSize = 64;
constexpr long long chunkSize = 1 << 20;

// Adds the writes for bytes taken from TagLib at position: the blocks that differ from the
// original, and whatever lies past its end.
bool addWrites(const EditStream &stream, const EditStream::Piece &piece, long long position,
               int original, Plan &plan)
{
    const char *data = stream.added().data() + piece.offset;
    const long long overlap = std::max(0LL, std::min(piece.size, plan.oldSize - position));
    std::vector<char> old(static_cast<std::size_t>(std::min(overlap, chunkSize)));
    long long runStart = -1; // the differing run being collected, relative to the piece
    long long runEnd = -1;
    for (long long chunk = 0; chunk < overlap; chunk += chunkSize) {
        const long long count = std::min(chunkSize, overlap - chunk);
        if (readAt(original, old.data(), count, position + chunk) != count)
            return false;
        for (long long block = 0; block < count; block += blockSize) {
            const long long length = std::min(blockSize, count - block);
            const long long at = chunk + block;
            if (std::memcmp(old.data() + block, data + at, static_cast<std::size_t>(length)) == 0)
                continue;
            if (runEnd == at) {
                runEnd = at + length;
                continue;
            }
            if (runStart >= 0)
                plan.writes.push_back({position + runStart, runEnd - runStart, data + runStart});
            runStart = at;
            runEnd = at + length;
        }
    }
    if (runStart >= 0)
        plan.writes.push_back({position + runStart, runEnd - runStart, data + runStart});
    if (overlap < piece.size)
        plan.writes.push_back({position + overlap, piece.size - overlap, data + overlap});
    return true;
}

} // namespace

bool planSave(const EditStream &stream, int original, bool mayReplace, Plan &plan)
{
    plan = Plan();
    plan.oldSize = stream.originalSize();
    plan.newSize = stream.size();

    long long firstMoved = -1;
    long long position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (!piece.added && !piece.keepsItsPlace(position)) {
            firstMoved = position;
            break;
        }
        position += piece.size;
    }

    if (firstMoved >= 0) {
        if (mayReplace) {
            plan.way = Plan::Way::Copy;
            return true;
        }
        // Rewritten from the first byte TagLib changed.
        long long start = 0;
        for (const EditStream::Piece &piece : stream.pieces()) {
            if (!piece.keepsItsPlace(start))
                break;
            start += piece.size;
        }
        plan.way = Plan::Way::Rewrite;
        if (start < plan.oldSize)
            plan.saved.push_back({start, plan.oldSize - start});
        return true;
    }

    position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (piece.added && !addWrites(stream, piece, position, original, plan))
            return false;
        position += piece.size;
    }
    for (const Write &write : plan.writes) {
        if (write.offset < plan.oldSize)
            plan.saved.push_back({write.offset, std::min(write.size, plan.oldSize - write.offset)});
    }
    // A file that shrinks loses its end: the journal keeps that too.
    if (plan.newSize < plan.oldSize)
        plan.saved.push_back({plan.newSize, plan.oldSize - plan.newSize});
    const bool changed = !plan.writes.empty() || plan.newSize != plan.oldSize;
    plan.way = changed ? Plan::Way::InPlace : Plan::Way::Unchanged;
    return true;
}

} // namespace quillet
