// The few types that differ between TagLib 1.x and 2.x, decided in this one place so that the
// rest of the library builds against both unchanged.
#ifndef QUILLET_TAGLIBCOMPAT_H
#define QUILLET_TAGLIBCOMPAT_H

#include <cstddef>
#include <memory>

#include <taglib/taglib.h>

namespace TagLib {
class File;
class String;
class StringList;
class Tag;
} // namespace TagLib

namespace quillet {

// The types of TagLib::IOStream's positions: seek, tell, length and truncate take a
// StreamOffset, insert and removeBlock a BlockOffset where they start, and a block's length is a
// BlockSize.
#if TAGLIB_MAJOR_VERSION >= 2
using StreamOffset = TagLib::offset_t;
using BlockOffset = TagLib::offset_t;
using BlockSize = std::size_t;
#else
using StreamOffset = long;
using BlockOffset = unsigned long;
using BlockSize = unsigned long;
#endif

// The tag whose seven fields the library reads and writes: file.tag(), except where TagLib 1
// gives less than TagLib 2. A WAV file's tag() is its ID3v2 tag alone in TagLib 1, while TagLib 2
// joins it with the RIFF INFO tag; there a stand-in joins them the same way, kept in holder.
TagLib::Tag *fieldsTag(TagLib::File &file, std::unique_ptr<TagLib::Tag> &holder);

// Several values of one field as one text, joined as TagLib's own generic tags join them.
TagLib::String joinedValues(const TagLib::StringList &values);

// Sets up once what TagLib keeps in shared state: the ID3v1 text handler, and what TagLib fills
// lazily on first use, so that calls from several threads (the quillet command's --jobs) never
// race to fill it. Call before any TagLib work.
void prepareTagLib();

} // namespace quillet

#endif // QUILLET_TAGLIBCOMPAT_H
