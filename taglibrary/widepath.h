// File names as the library takes them: wide strings. Where the system names files in bytes
// (POSIX), a name's bytes are read as UTF-8, and each byte that is not part of valid UTF-8
// becomes a code point of its own, U+DC00 plus the byte (U+DC80 to U+DCFF), as Python's
// "surrogateescape" does: every name crosses to a wide string and back unchanged, whatever the
// locale. Header-only, for the library and its callers alike: nothing here is exported.
#ifndef QUILLET_WIDEPATH_H
#define QUILLET_WIDEPATH_H

#include <string>
#include <string_view>

namespace quillet::widepath {

inline constexpr char32_t escapeBase = 0xDC00;

// True for the code point that stands for an undecodable byte.
inline bool isEscape(char32_t c)
{
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF;
}

// One code point as wide characters: itself, or a surrogate pair where wchar_t has 16 bits.
inline void appendWide(std::wstring &out, char32_t c)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

namespace detail {

// The length of the valid UTF-8 sequence at the start of bytes, with its code point; 0 where
// there is none (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
inline std::size_t decodeOne(std::string_view bytes, char32_t &c)
{
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    // The sequence's length, the lead byte's bits and the least value it may stand for.
    std::size_t length = 4;
    char32_t least = 0x10000;
    c = lead & 0x07;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
        c = lead & 0x0F;
    } else if (lead < 0xF0 || lead > 0xF4) {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

} // namespace detail

// The UTF-8 bytes of one code point.
inline void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A name's bytes as a wide string: UTF-8 decoded, every other byte escaped.
inline std::wstring fromNativeBytes(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t c = 0;
        std::size_t length = detail::decodeOne(bytes, c);
        if (length == 0) {
            c = escapeBase + static_cast<unsigned char>(bytes.front());
            length = 1;
        }
        appendWide(out, c);
        bytes.remove_prefix(length);
    }
    return out;
}

// The bytes of the name a wide string stands for: escapes back to their bytes, everything else
// as UTF-8. False for a string no name can hold: a surrogate that is no escape, or a value past
// U+10FFFF.
inline bool toNativeBytes(std::wstring_view wide, std::string &out)
{
    out.clear();
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char32_t>(wide[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            const char32_t low = i + 1 < wide.size() ? static_cast<char32_t>(wide[i + 1]) : 0;
            if (c >= 0xD800 && c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (isEscape(c)) {
            out += static_cast<char>(c - escapeBase);
        } else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        } else {
            appendUtf8(out, c);
        }
    }
    return true;
}

} // namespace quillet::widepath

#endif // QUILLET_WIDEPATH_H
