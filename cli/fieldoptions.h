// The command's options for fields, made from the field table (taglibrary/fieldtable.def): one
// for each row, --tag and --remove-tag for any key, and what each asks of a file's record.
#ifndef CLI_FIELDOPTIONS_H
#define CLI_FIELDOPTIONS_H

#include "namepattern.h"
#include "tagrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <string_view>

class QCommandLineParser;

// One key and what it becomes; no values: the key is removed.
struct KeyChange
{
    QString key; // upper case
    QStringList values;
    // Given as a number by a field's option or a name: compared as numbers, and for a number
    // with a total "N" keeps the file's total, "/M" its number.
    bool number = false;
};

// A change as it applies to one file: the values to save and the texts a dry run shows.
struct ResolvedChange
{
    QString name; // the field's option, or the key where the table has none
    QString before;
    QString after;
    QStringList values; // empty: removed
};

namespace fieldoptions {

// The options of set that are no field's: a row's option must be none of them.
inline constexpr std::string_view ownOptions[] = {
        "tag",       "remove-tag", "cover",   "picture", "remove-picture",
        "from-name", "from-csv",   "dry-run", "jobs",    "help",
        "j",         "h",
};

constexpr bool optionsAreFree()
{
    for (const quillet::KnownField &field : quillet::knownFields) {
        for (std::string_view own : ownOptions) {
            if (own == std::string_view(field.option))
                return false;
        }
        // Letters, digits and '-': a name the man page and the help write as it is.
        for (const char c : std::string_view(field.option)) {
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
                return false;
        }
    }
    return true;
}
static_assert(optionsAreFree(),
              "fieldtable.def: an option is one of set's own, or not lower case letters, digits "
              "and '-'");

// --title ... --album-artist ... (every row of the table, with its help), --tag, --remove-tag.
void add(QCommandLineParser &parser);
// The options' changes, each key once; nothing, with the reason, for a wrong command line.
std::optional<QList<KeyChange>> changes(const QCommandLineParser &parser, QString *error);
// The option that names the key's row, e.g. "album-artist"; empty where the table has none.
QString optionOf(const QString &key);

// What the name's text for the table's row field (index in quillet::knownFields) asks.
KeyChange fromName(std::size_t field, const QString &text);
// What change makes of the record's key; nothing where the record already holds it.
std::optional<ResolvedChange> resolve(const TagRecord &record, const KeyChange &change);

// The texts patterns fill the record's name with, every row of the table.
FieldTexts patternTexts(const TagRecord &record);
// "%title% %artist% ...": every placeholder, for help texts.
QString placeholders();

} // namespace fieldoptions

#endif // CLI_FIELDOPTIONS_H
