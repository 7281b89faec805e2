#include "quillet.h"

#include "covers.h"
#include "save/readsource.h"
#include "textconv.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacpicture.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

namespace {

// Decimal text of a year or track number, cut to four characters; 0 (none) gives "0".
std::wstring shortNumber(unsigned int value)
{
    std::wstring text = std::to_wstring(value);
    if (text.size() > 4)
        text.resize(4);
    return text;
}

void setCover(tagstruct *tag, const TagLib::ByteVector &bytes)
{
    const auto size = static_cast<std::int32_t>(std::min<unsigned int>(bytes.size(), INT32_MAX));
    tag->picture = new char[size];
    if (size > 0)
        std::memcpy(tag->picture, bytes.data(), static_cast<std::size_t>(size));
    tag->pictureSize = size;
}

void readCover(TagLib::File *file, const std::wstring &extension, tagstruct *tag)
{
    if (extension == L"mp3") {
        if (const auto *frame = quillet::findMpegCoverFrame(file))
            setCover(tag, frame->picture());
    } else if (extension == L"wma") {
        if (const TagLib::ASF::Picture *picture = quillet::findAsfCoverPicture(file)) {
            setCover(tag, picture->picture());
            delete picture;
        }
    } else if (extension == L"flac") {
        if (const auto *picture = quillet::findFlacCoverPicture(file))
            setCover(tag, picture->data());
    }
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

void read(const std::wstring &path, tagstruct *tag)
{
    const quillet::NativePath nativePath(path);
    if (!nativePath.isRegularFile())
        return;
    const std::wstring extension = quillet::extensionOf(path);

    std::wstring report;
    // A save cut off in the middle is undone first; where it cannot be, the file is read as it
    // was before that save.
    const quillet::ReadSource source(nativePath);
    // The reference is scoped to this function: the file is closed before readTag returns.
    const TagLib::FileRef ref = source.stream()
            ? TagLib::FileRef(source.stream(), true, TagLib::AudioProperties::Average)
            : TagLib::FileRef(nativePath.fileName(), true, TagLib::AudioProperties::Average);
    if (ref.isNull())
        return;

    if (const TagLib::Tag *fields = ref.tag()) {
        tag->title = quillet::fromTagString(fields->title());
        tag->artist = quillet::fromTagString(fields->artist());
        tag->album = quillet::fromTagString(fields->album());
        tag->year = shortNumber(fields->year());
        tag->comment = quillet::fromTagString(fields->comment());
        tag->track = shortNumber(fields->track());
        tag->genre = quillet::fromTagString(fields->genre());
        readCover(ref.file(), extension, tag);
        appendPropertyBlock(ref.file()->properties(), report);
    }
    if (const TagLib::AudioProperties *audio = ref.audioProperties())
        appendAudioBlock(*audio, report);

    tag->info = std::move(report);
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
    if (!tag)
        return 0;
    reset(tag);
    try {
        read(path, tag);
    } catch (...) {
        // Nothing may cross the library boundary: a failed read is an empty record.
        delete[] tag->picture;
        reset(tag);
    }
    return 0;
}
