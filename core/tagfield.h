// The seven fields of a file's record, as both programs name, label and show them: the rows of
// the library's field table (taglibrary/fieldtable.def) that the form holds.
#ifndef TAGFIELD_H
#define TAGFIELD_H

#include "fieldtable.h"
#include "quillet.h"

#include <array>
#include <string>
#include <string_view>

// One field: name is the quillet command's option and the field's name in the window's form,
// label is what a person reads as its title, jsonKey its key in JSON output. A number field
// holds a whole number that the library stores as a number ("07" reads back as "7").
struct TagField
{
    const char *name;
    const char *label;
    const char *jsonKey;
    bool isNumber;
    std::wstring tagstruct::*member;
};

namespace tagfielddetail {

// The record's member of each of the form's fields, in the form's order, and the key the table
// must give that place: the two lists must agree.
struct FormMember
{
    std::string_view key;
    std::wstring tagstruct::*member;
};
inline constexpr FormMember formMembers[quillet::formFieldCount] = {
        {"TITLE", &tagstruct::title}, {"ARTIST", &tagstruct::artist},
        {"ALBUM", &tagstruct::album}, {"COMMENT", &tagstruct::comment},
        {"DATE", &tagstruct::year},   {"TRACKNUMBER", &tagstruct::track},
        {"GENRE", &tagstruct::genre},
};

constexpr bool membersMatchTable()
{
    for (std::size_t i = 0; i < quillet::formFieldCount; ++i) {
        const quillet::KnownField &field = quillet::formField(i);
        // The option names the field in patterns too: both lists use TagField::name.
        if (field.key != formMembers[i].key
            || std::string_view(field.option) != std::string_view(field.placeholder))
            return false;
    }
    return true;
}
static_assert(
        membersMatchTable(),
        "fieldtable.def: the form's seven must be tagstruct's, their option their placeholder");

constexpr TagField tagFieldAt(std::size_t i)
{
    const quillet::KnownField &field = quillet::formField(i);
    return {field.option, field.label, field.option, field.kind != quillet::FieldKind::Text,
            formMembers[i].member};
}

} // namespace tagfielddetail

// In the order the programs show them.
inline constexpr std::array<TagField, quillet::formFieldCount> tagFields = {{
        tagfielddetail::tagFieldAt(0),
        tagfielddetail::tagFieldAt(1),
        tagfielddetail::tagFieldAt(2),
        tagfielddetail::tagFieldAt(3),
        tagfielddetail::tagFieldAt(4),
        tagfielddetail::tagFieldAt(5),
        tagfielddetail::tagFieldAt(6),
}};

#endif // TAGFIELD_H
