// The known fields as C++ sees fieldtable.def: one constant table, checked as it is compiled, from
// which the library and both programs make every list of fields.
#ifndef QUILLET_FIELDTABLE_H
#define QUILLET_FIELDTABLE_H

#include <cstddef>
#include <iterator>
#include <string_view>

namespace quillet {

enum class FieldKind { Text, Number, NumberWithTotal };

struct KnownField
{
    std::string_view key;
    const char *label;
    FieldKind kind;
    const char *option;
    const char *placeholder;
    int column;
    int form; // -1: not one of the form's seven
};

inline constexpr KnownField knownFields[] = {
#define QUILLET_FIELD(key, label, kind, option, placeholder, column, form)                         \
    {key, label, FieldKind::kind, option, placeholder, column, form},
#include "fieldtable.def"
#undef QUILLET_FIELD
};

inline constexpr std::size_t formFieldCount = 7;

// The row of the form's field at index form (0..6); the first row when there is none, which the
// checks below rule out.
constexpr const KnownField &formField(std::size_t form)
{
    for (const KnownField &field : knownFields) {
        if (field.form == static_cast<int>(form))
            return field;
    }
    return knownFields[0];
}

namespace fieldtable {

constexpr bool formIsComplete()
{
    std::size_t count = 0;
    for (std::size_t form = 0; form < formFieldCount; ++form) {
        for (const KnownField &field : knownFields)
            count += field.form == static_cast<int>(form) ? 1 : 0;
    }
    std::size_t inForm = 0;
    for (const KnownField &field : knownFields)
        inForm += field.form >= 0 ? 1 : 0;
    return count == formFieldCount && inForm == formFieldCount;
}

constexpr bool same(const char *a, const char *b)
{
    return std::string_view(a) == std::string_view(b);
}

// No two rows share a key, an option, a placeholder or a column.
constexpr bool rowsAreDistinct()
{
    const std::size_t count = std::size(knownFields);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            const KnownField &a = knownFields[i];
            const KnownField &b = knownFields[j];
            if (a.key == b.key || same(a.option, b.option) || same(a.placeholder, b.placeholder)
                || a.column == b.column)
                return false;
        }
    }
    return true;
}

} // namespace fieldtable

static_assert(fieldtable::formIsComplete(),
              "fieldtable.def: the form needs rows 0 to 6, once each");
static_assert(fieldtable::rowsAreDistinct(),
              "fieldtable.def: two rows share a key, an option, a placeholder or a column");

} // namespace quillet

#endif // QUILLET_FIELDTABLE_H
