// The seven fields of a file's record, as both programs name, label and show them: the rows of
// the library's field table (taglibrary/fieldtable.def) that the form holds.
#ifndef TAGFIELD_H
#define TAGFIELD_H

#include "fieldtable.h"

#include <array>
#include <string_view>

// One field: name is the quillet command's option and the field's name in the window's form,
// label is what a person reads as its title, jsonKey its key in JSON output, key the tag's key
// in the library. A number field holds a whole number ("07" reads back as "7").
struct TagField
{
    const char *name;
    const char *label;
    const char *jsonKey;
    bool isNumber;
    bool withTotal; // a number with a total: "3/12"
    std::string_view key;
};

namespace tagfielddetail {

constexpr bool formMatchesTable()
{
    for (std::size_t i = 0; i < quillet::formFieldCount; ++i) {
        // The option names the field in patterns too: both lists use TagField::name.
        const quillet::KnownField &field = quillet::formField(i);
        if (std::string_view(field.option) != std::string_view(field.placeholder))
            return false;
    }
    return true;
}
static_assert(formMatchesTable(),
              "fieldtable.def: the form's seven take their option as placeholder");

constexpr TagField tagFieldAt(std::size_t i)
{
    const quillet::KnownField &field = quillet::formField(i);
    return {field.option,
            field.label,
            field.option,
            field.kind != quillet::FieldKind::Text,
            field.kind == quillet::FieldKind::NumberWithTotal,
            field.key};
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
