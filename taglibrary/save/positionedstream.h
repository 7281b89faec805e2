// What every stream the library hands TagLib shares: content of a known size, read at a position
// of the stream's own, never a file handle's.
#ifndef QUILLET_SAVE_POSITIONEDSTREAM_H
#define QUILLET_SAVE_POSITIONEDSTREAM_H

#include "taglibcompat.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>

#include <taglib/tiostream.h>

namespace quillet {

// Where a seek by offset from p leads, for a stream at position holding size bytes. Like fseek,
// a seek before the start (or past any representable offset) moves nothing: position again.
long long seekTarget(long long position, long long size, StreamOffset offset,
                     TagLib::IOStream::Position p);

class PositionedStream : public TagLib::IOStream
{
public:
    TagLib::FileName name() const override { return m_name.c_str(); }
    bool isOpen() const override { return true; }
    void seek(StreamOffset offset, Position p = Beginning) override
    {
        m_position = seekTarget(m_position, m_size, offset, p);
    }
    void clear() override { }
    StreamOffset tell() const override { return static_cast<StreamOffset>(m_position); }
    StreamOffset length() override { return static_cast<StreamOffset>(m_size); }

protected:
    // TagLib sees the stream under name, whose extension chooses the file class.
    PositionedStream(std::string name, long long size)
        : m_name(std::move(name))
        , m_size(size)
    { }

    // The block a read of length fills, zeroed: as long as the content holds from the position,
    // and as a ByteVector counts (an unsigned int; a hostile size field can ask for more).
    TagLib::ByteVector blockFor(BlockSize length) const
    {
        if (m_position >= m_size)
            return TagLib::ByteVector();
        const long long count = std::min<long long>(
                static_cast<long long>(std::min<BlockSize>(length, UINT_MAX)), m_size - m_position);
        return TagLib::ByteVector(static_cast<unsigned int>(count), '\0');
    }

    std::string m_name;
    long long m_size;
    long long m_position = 0;
};

} // namespace quillet

#endif // QUILLET_SAVE_POSITIONEDSTREAM_H
