// A file as TagLib reads it for a read: through one read-only descriptor, at a position of the
// stream's own. TagLib seeks and asks for its length between nearly every two reads, which
// through a C stream costs a system call each; here only reading the bytes does, and reads
// smaller than a page are served from the pages the last one brought.
#ifndef QUILLET_SAVE_FILEVIEW_H
#define QUILLET_SAVE_FILEVIEW_H

#include "fileio.h"
#include "positionedstream.h"

#include <memory>
#include <string>

namespace quillet {

class FileView : public PositionedStream
{
public:
    // Opens the file at path for reading; null with errno set where it cannot be opened, or
    // QUILLET_ENOTAUDIO where it is no regular file. TagLib sees the stream under that name,
    // whose extension chooses the file class.
    static std::unique_ptr<FileView> open(const std::string &path);

    TagLib::ByteVector readBlock(BlockSize length) override;
    void writeBlock(const TagLib::ByteVector &) override { }
    void insert(const TagLib::ByteVector &, BlockOffset = 0, BlockSize = 0) override { }
    void removeBlock(BlockOffset = 0, BlockSize = 0) override { }
    bool readOnly() const override { return true; }
    void truncate(StreamOffset) override { }

private:
    static constexpr long long pageSize = 4096;

    FileView(Descriptor file, long long size, std::string name);

    Descriptor m_file;
    // The pages last read for a small read: from m_pagesAt, m_pagesHeld bytes of them.
    std::unique_ptr<char[]> m_pages;
    long long m_pagesAt = 0;
    long long m_pagesHeld = 0;
};

} // namespace quillet

#endif // QUILLET_SAVE_FILEVIEW_H
