// Every conversion between the library's wide strings and TagLib's strings lives here; file
// names are nativepath.h's. wchar_t is UTF-32 on Linux and UTF-16 on Windows; TagLib 1.x cuts
// wide characters to 16 bits, so text always crosses into TagLib as UTF-8.
#ifndef QUILLET_TEXTCONV_H
#define QUILLET_TEXTCONV_H

#include <string>

#include <taglib/tstring.h>

namespace quillet {

std::string toUtf8(const std::wstring &text);

TagLib::String toTagString(const std::wstring &text);
std::wstring fromTagString(const TagLib::String &text);

// The engine's text: UTF-8 both ways (invalid bytes become U+FFFD as TagLib decodes them).
std::string toUtf8(const TagLib::String &text);
TagLib::String fromUtf8(const std::string &text);
// Latin-1 names TagLib keeps as bytes (MIME types, ID3v2 frame ids).
TagLib::String fromLatin1(const char *text);

// Text in Latin-1 for fields that hold nothing else (ID3v1): each character Latin-1 lacks becomes
// close Latin letters where there are some, else "?"; cut to at most limit bytes, never inside
// the letters of one character.
std::string toLatin1(const TagLib::String &text, std::size_t limit);

// The text after the last "." of the whole path, folder names included; empty without a dot.
std::wstring extensionOf(const std::wstring &path);

} // namespace quillet

#endif // QUILLET_TEXTCONV_H
