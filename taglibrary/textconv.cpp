#include "textconv.h"

#include "widepath.h"

#include <string_view>

namespace quillet {

namespace {

constexpr char32_t replacementChar = 0xFFFD;

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

void appendUtf8(std::string &out, char32_t c)
{
    widepath::appendUtf8(out, c > 0x10FFFF || isSurrogate(c) ? replacementChar : c);
}

} // namespace

std::string toUtf8(const std::wstring &text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

TagLib::String toTagString(const std::wstring &text)
{
    return TagLib::String(toUtf8(text), TagLib::String::UTF8);
}

std::wstring fromTagString(const TagLib::String &text)
{
    // TagLib holds UTF-16 code units, one per wchar_t whatever its width: read straight from
    // them, without a trip through UTF-8. A surrogate without its partner becomes U+FFFD.
    std::wstring out;
    out.reserve(text.size());
    const auto end = text.end();
    for (auto it = text.begin(); it != end; ++it) {
        char32_t c = static_cast<char32_t>(*it) & 0xFFFF;
        if (c >= 0xD800 && c <= 0xDBFF && it + 1 != end) {
            const char32_t low = static_cast<char32_t>(*(it + 1)) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++it;
            }
        }
        widepath::appendWide(out, isSurrogate(c) ? replacementChar : c);
    }
    return out;
}

std::string toUtf8(const TagLib::String &text)
{
    return text.to8Bit(true);
}

TagLib::String fromUtf8(const std::string &text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

TagLib::String fromLatin1(const char *text)
{
    return TagLib::String(text, TagLib::String::Latin1);
}

namespace {

// Latin letters for characters that Latin-1 lacks: runs of one letter per code point ('_' where
// there is none), and the characters that take more than one letter.
struct LetterRun
{
    char16_t first;
    std::string_view letters;
};

constexpr LetterRun letterRuns[] = {
        {0x0100,
         "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRr"
         "RrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs"},
        {0x0192, "f"},
        {0x01A0, "Oo"},
        {0x01AF, "Uu"},
        {0x01CD, "AaIiOoUuUuUuUuUu"},
        {0x0218, "SsTt"},
        {0x0386, "A_EII_O_YOiAVGDEZI_IKLMNXOPR_STYF__OIYaeiiyavgdezi_iklmnxoprsstyf__oiyoyo"},
        {0x0400,
         "EYDGYZIYJLNCKIUDABVGDE_ZIYKLMNOPRSTUF______Y_E__abvgde_ziyklmnoprstuf______y_e__eydgyz"
         "ijylnckiud"},
        {0x0490, "Gg"},
        {0x1EA0,
         "AaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEeEeEeEeEeIiIiOoOoOoOoOoOoOoOoOoOoOoOoUuUuUuUuUuUuUuYyYy"
         "YyYy"},
        {0x2000, "           _____------__''''\"\"\"\""}, // spaces, dashes, quotation marks
        {0x2032, "'\"_____<>"},
};

struct LetterGroup
{
    char16_t code;
    std::string_view letters;
};

constexpr LetterGroup letterGroups[] = {
        {0x0132, "IJ"}, {0x0133, "ij"},   {0x0149, "'n"}, {0x0152, "OE"},   {0x0153, "oe"},
        {0x0398, "Th"}, {0x03A7, "Ch"},   {0x03A8, "Ps"}, {0x03B8, "th"},   {0x03C7, "ch"},
        {0x03C8, "ps"}, {0x0401, "Yo"},   {0x0402, "Dj"}, {0x0404, "Ye"},   {0x0407, "Yi"},
        {0x0409, "Lj"}, {0x040A, "Nj"},   {0x040F, "Dz"}, {0x0416, "Zh"},   {0x0425, "Kh"},
        {0x0426, "Ts"}, {0x0427, "Ch"},   {0x0428, "Sh"}, {0x0429, "Shch"}, {0x042E, "Yu"},
        {0x042F, "Ya"}, {0x0436, "zh"},   {0x0445, "kh"}, {0x0446, "ts"},   {0x0447, "ch"},
        {0x0448, "sh"}, {0x0449, "shch"}, {0x044E, "yu"}, {0x044F, "ya"},   {0x0451, "yo"},
        {0x0452, "dj"}, {0x0454, "ye"},   {0x0457, "yi"}, {0x0459, "lj"},   {0x045A, "nj"},
        {0x045F, "dz"}, {0x2026, "..."},
};

// The letters that stand for c, beyond Latin-1: none for a combining mark (the letter before it
// is already there), "?" where nothing is close.
std::string_view lettersFor(char16_t c)
{
    if (c >= 0x0300 && c < 0x0370)
        return std::string_view();
    for (const LetterGroup &group : letterGroups) {
        if (group.code == c)
            return group.letters;
    }
    for (const LetterRun &run : letterRuns) {
        if (c >= run.first && std::size_t(c - run.first) < run.letters.size()) {
            const std::string_view letter = run.letters.substr(c - run.first, 1);
            return letter == "_" ? "?" : letter;
        }
    }
    return "?";
}

} // namespace

std::string toLatin1(const TagLib::String &text, std::size_t limit)
{
    std::string out;
    const auto end = text.end();
    for (auto it = text.begin(); it != end; ++it) {
        auto c = static_cast<char16_t>(*it);
        // A character outside the BMP is a surrogate pair here: one "?" for both.
        if (c >= 0xD800 && c <= 0xDBFF && it + 1 != end && (*(it + 1) & 0xFC00) == 0xDC00)
            ++it;
        if (c >= 0xFF01 && c <= 0xFF5E) // fullwidth forms of ASCII
            c -= 0xFEE0;
        const char latin1 = static_cast<char>(c);
        const std::string_view letters = c < 0x100 ? std::string_view(&latin1, 1) : lettersFor(c);
        if (out.size() + letters.size() > limit)
            break;
        out.append(letters);
    }
    return out;
}

std::wstring extensionOf(const std::wstring &path)
{
    const auto dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot + 1);
}

} // namespace quillet
