// Which files the library opens, by name: for callers that pick audio files out of a folder, a
// drop or a file manager without opening each one. Header-only: nothing here is exported.
#ifndef QUILLET_AUDIOFILES_H
#define QUILLET_AUDIOFILES_H

#include <array>
#include <cctype>
#include <string_view>

namespace quillet {

// The extensions TagLib opens, in lower case; both TagLib 1.13 and 2.x open every one of them.
inline constexpr std::array<std::string_view, 31> audioExtensions = {
        "3g2",  "afc", "aif", "aifc", "aiff",   "ape", "asf", "flac", "it",  "m4a", "m4b",
        "m4p",  "m4r", "m4v", "mod",  "module", "mp3", "mp4", "mpc",  "nst", "oga", "ogg",
        "opus", "s3m", "spx", "tta",  "wav",    "wma", "wow", "wv",   "xm",
};

// True when the text after the last "." of name is one of audioExtensions, in any case.
inline bool isAudioFileName(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view extension = name.substr(dot + 1);
    for (const std::string_view known : audioExtensions) {
        if (known.size() != extension.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; same && i < known.size(); ++i)
            same = std::tolower(static_cast<unsigned char>(extension[i])) == known[i];
        if (same)
            return true;
    }
    return false;
}

} // namespace quillet

#endif // QUILLET_AUDIOFILES_H
