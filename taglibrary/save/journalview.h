// A file as it was before a save that was cut off: the journal's original bytes laid over the
// file, read-only, for a reader that may not write the journal back. Its length is the old size
// as far as the file and the records hold bytes.
#ifndef QUILLET_SAVE_JOURNALVIEW_H
#define QUILLET_SAVE_JOURNALVIEW_H

#include "fileio.h"
#include "journal.h"
#include "positionedstream.h"

#include <memory>
#include <string>

namespace quillet {

class JournalView : public PositionedStream
{
public:
    // file: the file the journal names, open for reading. TagLib sees the stream under name,
    // whose extension chooses the file class.
    JournalView(Descriptor file, std::unique_ptr<Journal> journal, std::string name);

    TagLib::ByteVector readBlock(BlockSize length) override;
    void writeBlock(const TagLib::ByteVector &) override { }
    void insert(const TagLib::ByteVector &, BlockOffset = 0, BlockSize = 0) override { }
    void removeBlock(BlockOffset = 0, BlockSize = 0) override { }
    bool readOnly() const override { return true; }
    void truncate(StreamOffset) override { }

private:
    Descriptor m_file;
    std::unique_ptr<Journal> m_journal;
};

} // namespace quillet

#endif // QUILLET_SAVE_JOURNALVIEW_H
