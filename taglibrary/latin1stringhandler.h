// How ID3v1 fields are written: TagLib's own handler empties a field whose text is not all
// Latin-1; this one writes the closest Latin-1 text instead.
#ifndef QUILLET_LATIN1STRINGHANDLER_H
#define QUILLET_LATIN1STRINGHANDLER_H

#include <taglib/id3v1tag.h>

namespace quillet {

class Latin1StringHandler : public TagLib::ID3v1::StringHandler
{
public:
    // At most 30 bytes, the width of the title, artist and album fields.
    TagLib::ByteVector render(const TagLib::String &text) const override;
};

// TagLib keeps one handler for the whole process: installed once, before any tag is written,
// and never released.
void installLatin1StringHandler();

} // namespace quillet

#endif // QUILLET_LATIN1STRINGHANDLER_H
