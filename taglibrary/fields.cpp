#include "fields.h"

#include "textconv.h"

#include <taglib/tag.h>

namespace quillet {

namespace {

// Decimal text of a year or track number, cut to four characters; 0 (none) gives "0".
std::wstring shortNumber(unsigned int value)
{
    std::wstring text = std::to_wstring(value);
    if (text.size() > 4)
        text.resize(4);
    return text;
}

} // namespace

Fields fieldsOf(const TagLib::Tag &tag)
{
    Fields fields;
    fields.title = fromTagString(tag.title());
    fields.artist = fromTagString(tag.artist());
    fields.album = fromTagString(tag.album());
    fields.year = shortNumber(tag.year());
    fields.comment = fromTagString(tag.comment());
    fields.track = shortNumber(tag.track());
    fields.genre = fromTagString(tag.genre());
    return fields;
}

} // namespace quillet
