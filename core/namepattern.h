// Patterns that make a file's name from its fields, and read its fields from its name:
// placeholders, one for every row of the field table (%title%, %artist%, %albumartist%,
// %discnumber%, %composer%, ..., and %track:2% for a number padded with zeros) between literal
// text, "/" between folders.
#ifndef NAMEPATTERN_H
#define NAMEPATTERN_H

#include "tagfield.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

#include <array>
#include <cstddef>
#include <iterator>
#include <optional>

// The rows of the field table, in its order: the form's seven come first, in the order of
// tagFields, so that an index below seven names the same field in both.
inline constexpr std::size_t patternFieldCount = std::size(quillet::knownFields);

namespace namepatterndetail {
constexpr bool formComesFirst()
{
    for (std::size_t i = 0; i < tagFields.size(); ++i) {
        if (quillet::knownFields[i].form != static_cast<int>(i))
            return false;
    }
    return true;
}
} // namespace namepatterndetail
static_assert(namepatterndetail::formComesFirst(),
              "fieldtable.def: the form's seven must be its first rows, in the form's order");

// The texts of a file's fields, in the order of the field table (quillet::knownFields); a number
// with a total holds the number alone.
using FieldTexts = std::array<QString, patternFieldCount>;

// A file and its fields as the caller knows them (in the window: with unsaved edits).
struct FileFields
{
    QString path;
    FieldTexts texts;
    // The folder a pattern's folders are made in: the one the file was found in by a walk.
    // Empty: the file's own folder.
    QString base = QString();
};

// One field and the text a file's name gives it.
struct FieldValue
{
    std::size_t field; // index in quillet::knownFields (below seven: in tagFields too)
    QString text;
};

class NamePattern
{
public:
    // False, with the reason in error (naming an unknown placeholder), for a pattern that
    // cannot be used; the pattern is then empty.
    bool parse(const QString &text, QString *error);
    bool isEmpty() const { return m_parts.isEmpty(); }
    // True where the pattern has a placeholder of the field (index in quillet::knownFields).
    bool names(std::size_t field) const;

    // The path path gets: the pattern filled with values, in base (path's folder where base is
    // empty; folders the pattern makes below it), the extension kept. A file already at its name
    // gets path itself, so that a second run changes nothing. Empty, with the reason, where a
    // name comes out empty.
    QString pathFor(const QString &path, const FieldTexts &values, QString *error,
                    const QString &base = QString()) const;

    // The fields that path's name gives (and its last folders', where the pattern has folders),
    // each once, in the order of the pattern. Nothing, with the reason, where it does not match.
    // A part that is empty, or the text a name gets for an empty field ("Unknown Artist", 0 for
    // a number), gives nothing: the field stays as the file has it.
    std::optional<QList<FieldValue>> fieldsFrom(const QString &path, QString *error) const;

private:
    struct Part
    {
        QString literal; // where field is none
        std::optional<std::size_t> field;
        int width = 0; // zeros pad a number to this many digits
    };

    bool addPlaceholder(const QString &name);
    QString fill(const Part &part, const FieldTexts &values) const;
    void buildExpression();

    QList<Part> m_parts;
    qsizetype m_folders = 0; // how many folders the pattern names above the file
    QRegularExpression m_expression; // the pattern as it matches a name
};

#endif // NAMEPATTERN_H
