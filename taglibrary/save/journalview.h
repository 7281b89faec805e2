// A file as it was before a save that was cut off: the journal's original bytes laid over the
// file, read-only, for a reader that may not write the journal back. Its length is the old size
// as far as the file and the records hold bytes.
#ifndef QUILLET_SAVE_JOURNALVIEW_H
#define QUILLET_SAVE_JOURNALVIEW_H

#include "fileio.h"
#include "journal.h"
#include "taglibcompat.h"

#include <memory>
#include <string>

#include <taglib/tiostream.h>

namespace quillet {

class JournalView : public TagLib::IOStream
{
public:
    // file: the file the journal names, open for reading. TagLib sees the stream under name,
    // whose extension chooses the file class.
    JournalView(Descriptor file, std::unique_ptr<Journal> journal, std::string name);

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(BlockSize length) override;
    void writeBlock(const TagLib::ByteVector &) override { }
    void insert(const TagLib::ByteVector &, BlockOffset = 0, BlockSize = 0) override { }
    void removeBlock(BlockOffset = 0, BlockSize = 0) override { }
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(StreamOffset offset, Position p = Beginning) override;
    void clear() override { }
    StreamOffset tell() const override;
    StreamOffset length() override;
    void truncate(StreamOffset) override { }

private:
    Descriptor m_file;
    std::unique_ptr<Journal> m_journal;
    std::string m_name;
    long long m_size;
    long long m_position = 0;
};

} // namespace quillet

#endif // QUILLET_SAVE_JOURNALVIEW_H
