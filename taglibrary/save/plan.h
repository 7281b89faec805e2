// Which way a change is written, decided from the pieces of the new content: in place under a
// journal when every original byte keeps its offset, else as a complete new file.
#ifndef QUILLET_SAVE_PLAN_H
#define QUILLET_SAVE_PLAN_H

#include <vector>

namespace quillet {

class EditStream;

struct Range
{
    long long offset;
    long long size;
};

// Bytes of the new content and where they go in the file.
struct Write
{
    long long offset;
    long long size;
    const char *data;
};

struct Plan
{
    enum class Way {
        Unchanged, // the new content is byte for byte the old one
        InPlace, // only the writes change the file; the journal keeps what they overwrite
        Rewrite, // audio moves, but the file may not be replaced: everything from the first
                 // change on is rewritten, and the journal keeps all of it
        Copy, // audio moves: a complete new file takes the old one's place
    };
    Way way = Way::Unchanged;
    std::vector<Range> saved; // ranges of the old file the journal keeps
    std::vector<Write> writes; // InPlace only
    long long oldSize = 0;
    long long newSize = 0;
};

// Compares the new content with the original (read through fd), so that only bytes that
// differ are written. mayReplace: a new file may take the old one's name. False when the
// original cannot be read.
bool planSave(const EditStream &stream, int original, bool mayReplace, Plan &plan);

} // namespace quillet

#endif // QUILLET_SAVE_PLAN_H
