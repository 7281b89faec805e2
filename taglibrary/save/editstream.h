// A TagLib stream that reads an open file and keeps every change TagLib makes in memory, as a
// list of pieces: ranges of the original file and bytes written by TagLib. Nothing reaches the
// disk until the caller writes the pieces out, so the original stays as it was while TagLib
// works, and growing a tag shifts nothing: the audio is copied once, when the result is written.
#ifndef QUILLET_EDITSTREAM_H
#define QUILLET_EDITSTREAM_H

#include <string>
#include <vector>

#include "positionedstream.h"

namespace quillet {

class EditStream : public PositionedStream
{
public:
    struct Piece
    {
        long long offset; // where the bytes begin: in the original file, or in added()
        long long size;
        bool added; // bytes TagLib wrote, else a range of the original file

        // True for original bytes that stay at their offset when the piece begins at position.
        bool keepsItsPlace(long long position) const { return !added && offset == position; }
    };

    // Reads the original through fd (not owned, left open), which holds size bytes. TagLib sees
    // the stream under name, whose extension chooses the file class.
    EditStream(int fd, long long size, std::string name);

    TagLib::ByteVector readBlock(BlockSize length) override;
    void writeBlock(const TagLib::ByteVector &data) override;
    void insert(const TagLib::ByteVector &data, BlockOffset start = 0,
                BlockSize replace = 0) override;
    void removeBlock(BlockOffset start = 0, BlockSize length = 0) override;
    bool readOnly() const override { return false; }
    void truncate(StreamOffset length) override;

    // The new content: pieces in order, their bytes at offset in the original file or in
    // added().
    const std::vector<Piece> &pieces() const { return m_pieces; }
    const std::string &added() const { return m_added; }
    long long size() const { return m_size; }
    long long originalSize() const { return m_originalSize; }

    // True when reading the original failed (an I/O error): what TagLib saw is not the file.
    bool readFailed() const { return m_readFailed; }

    // Back to the start for a fresh TagLib file object over the same content.
    void rewind() { m_position = 0; }

private:
    // The range [start, start + length) of the content becomes bytes (count of them).
    void replace(long long start, long long length, const char *bytes, long long count);
    void fillTo(long long position);
    long long readOriginal(long long offset, char *out, long long count);

    int m_fd;
    long long m_originalSize;
    std::vector<Piece> m_pieces;
    std::string m_added;
    bool m_readFailed = false;

    // TagLib reads in small blocks; a window of the original saves a system call for each.
    std::string m_window;
    long long m_windowOffset = -1;
};

} // namespace quillet

#endif // QUILLET_EDITSTREAM_H
