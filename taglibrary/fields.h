// The seven fields as readTag reports them: what the editor shows, and what saveTag compares the
// record with, so that a field the user left alone is never rewritten.
#ifndef QUILLET_FIELDS_H
#define QUILLET_FIELDS_H

#include <string>

namespace TagLib {
class Tag;
}

namespace quillet {

struct Fields
{
    std::wstring title;
    std::wstring artist;
    std::wstring album;
    std::wstring year; // decimal, at most four characters; "0" for none
    std::wstring comment;
    std::wstring track; // as year
    std::wstring genre;
};

Fields fieldsOf(const TagLib::Tag &tag);

} // namespace quillet

#endif // QUILLET_FIELDS_H
