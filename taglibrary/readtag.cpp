#include "quillet.h"

#include "engineparts.h"
#include "errors.h"
#include "fields.h"
#include "formats.h"
#include "keepingtag.h"
#include "taglibcompat.h"
#include "textconv.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

namespace {

void setCover(tagstruct *tag, const TagLib::ByteVector &bytes)
{
    const auto size = static_cast<std::int32_t>(std::min<unsigned int>(bytes.size(), INT32_MAX));
    tag->picture = new char[size];
    if (size > 0)
        std::memcpy(tag->picture, bytes.data(), static_cast<std::size_t>(size));
    tag->pictureSize = size;
}

void readCover(TagLib::File &file, const std::wstring &path, tagstruct *tag)
{
    TagLib::ByteVector bytes;
    if (const quillet::FileKind *kind = quillet::coverKindOf(path, file);
        kind && kind->readCover(file, bytes))
        setCover(tag, bytes);
}

void appendPropertyBlock(const TagLib::PropertyMap &properties, std::wstring &report)
{
    // Each key is converted once: its width sets the padding of all of them.
    std::vector<std::wstring> keys;
    keys.reserve(properties.size());
    std::size_t width = 0;
    for (const auto &property : properties) {
        keys.push_back(quillet::fromTagString(property.first));
        width = std::max(width, keys.back().size());
    }

    report += L"-- TAG (properties)\n";
    auto key = keys.begin();
    for (const auto &property : properties) {
        key->resize(width, L' ');
        // Appended piece by piece: no temporary string per line.
        for (const TagLib::String &value : property.second) {
            report += *key;
            report += L" - \"";
            report += quillet::fromTagString(value);
            report += L"\"\n";
        }
        ++key;
    }
}

void appendAudioBlock(const TagLib::AudioProperties &audio, std::wstring &report)
{
    const int length = audio.lengthInSeconds();
    const int seconds = length % 60;
    report += L"-- AUDIO --\n";
    report += L"bitrate     - " + std::to_wstring(audio.bitrate()) + L"\n";
    report += L"sample rate - " + std::to_wstring(audio.sampleRate()) + L"\n";
    report += L"channels    - " + std::to_wstring(audio.channels()) + L"\n";
    report += L"length      - " + std::to_wstring((length - seconds) / 60) + L":"
            + std::to_wstring(seconds) + L"\n";
}

// Fills tag from the engine's open file; false, with errno saying why, when nothing could be read.
bool read(const std::wstring &path, tagstruct *tag)
{
    return quillet::readOpened(path, [&](TagLib::FileRef &ref) {
        std::wstring report;
        std::unique_ptr<TagLib::Tag> joined;
        if (TagLib::Tag *generic = ref.tag() ? quillet::fieldsTag(*ref.file(), joined) : nullptr) {
            const quillet::KeepingTag fields(*generic, quillet::tagsOfFile(*ref.file()));
            quillet::Fields read = quillet::fieldsOf(fields);
            tag->title = std::move(read.title);
            tag->artist = std::move(read.artist);
            tag->album = std::move(read.album);
            tag->year = std::move(read.year);
            tag->comment = std::move(read.comment);
            tag->track = std::move(read.track);
            tag->genre = std::move(read.genre);
            readCover(*ref.file(), path, tag);
            appendPropertyBlock(ref.file()->properties(), report);
        }
        if (const TagLib::AudioProperties *audio = ref.audioProperties())
            appendAudioBlock(*audio, report);

        tag->info = std::move(report);
        return !tag->info.empty() || quillet::failWith(QUILLET_ENOTAUDIO);
    });
}

void reset(tagstruct *tag)
{
    for (std::wstring *text : {&tag->title, &tag->album, &tag->artist, &tag->comment, &tag->year,
                               &tag->track, &tag->genre, &tag->info})
        text->clear();
    tag->picture = nullptr;
    tag->pictureSize = 0;
}

} // namespace

int readTag(const std::wstring &path, tagstruct *tag)
{
    if (!tag) {
        errno = EINVAL;
        return 0;
    }
    reset(tag);
    try {
        quillet::prepareTagLib();
        // Its result is always 0: errno alone tells a file read from one that was not.
        if (read(path, tag))
            errno = 0;
        else if (errno == 0)
            errno = EIO;
    } catch (...) {
        // Nothing may cross the library boundary: a failed read is an empty record.
        delete[] tag->picture;
        reset(tag);
        errno = ENOMEM;
    }
    return 0;
}
