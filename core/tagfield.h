// The seven fields of a file's record, as both programs name, label and show them.
#ifndef TAGFIELD_H
#define TAGFIELD_H

#include "quillet.h"

#include <array>
#include <string>

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

// In the order the programs show them.
inline constexpr std::array<TagField, 7> tagFields = {{
        {"title", "Title", "title", false, &tagstruct::title},
        {"artist", "Artist", "artist", false, &tagstruct::artist},
        {"album", "Album", "album", false, &tagstruct::album},
        {"comment", "Comment", "comment", false, &tagstruct::comment},
        {"year", "Year", "year", true, &tagstruct::year},
        {"track", "Track", "track", true, &tagstruct::track},
        {"genre", "Genre", "genre", false, &tagstruct::genre},
}};

#endif // TAGFIELD_H
