#include "quillet.h"

#include "asforder.h"
#include "covers.h"
#include "safesave.h"
#include "textconv.h"

#include <cstdint>
#include <cwctype>
#include <memory>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

namespace {

// Everything taken from the record, converted before the file is opened: a record that cannot
// be converted never reaches the file.
struct Request
{
    TagLib::String title;
    TagLib::String artist;
    TagLib::String album;
    TagLib::String comment;
    TagLib::String genre;
    unsigned int year = 0;
    unsigned int track = 0;
    bool hasPicture = false;
    TagLib::ByteVector picture;
};

// The rule of std::stoi in base 10 (leading white space, an optional sign, digits up to the
// first non-digit, the value within 32 bits), reporting failure instead of throwing.
bool parseNumber(const std::wstring &text, std::int32_t &value)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<std::wint_t>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const std::size_t firstDigit = i;
    std::int64_t magnitude = 0;
    constexpr std::int64_t limit = std::int64_t(INT32_MAX) + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit)
            return false; // out of range whatever digits follow
    }
    if (i == firstDigit)
        return false;
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX || signedValue < INT32_MIN)
        return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

bool prepare(const tagstruct &tag, Request &request)
{
    std::int32_t year = 0;
    std::int32_t track = 0;
    if (!parseNumber(tag.year, year) || !parseNumber(tag.track, track))
        return false;
    if (tag.pictureSize < 0 || (tag.pictureSize > 0 && !tag.picture))
        return false;

    request.title = quillet::toTagString(tag.title);
    request.artist = quillet::toTagString(tag.artist);
    request.album = quillet::toTagString(tag.album);
    request.comment = quillet::toTagString(tag.comment);
    request.genre = quillet::toTagString(tag.genre);
    // The setters take unsigned values: a negative number goes on as its bit pattern.
    request.year = static_cast<unsigned int>(year);
    request.track = static_cast<unsigned int>(track);
    request.hasPicture = tag.pictureSize != 0;
    if (request.hasPicture)
        request.picture.setData(tag.picture, static_cast<unsigned int>(tag.pictureSize));
    return true;
}

const TagLib::String &jpegMimeType()
{
    static const TagLib::String mime("image/jpeg", TagLib::String::Latin1);
    return mime;
}

const TagLib::String &asfPictureName()
{
    static const TagLib::String name("WM/Picture", TagLib::String::Latin1);
    return name;
}

// An ID3v2 tag states its size in 28 bits; TagLib 1.13 writes a bigger one anyway, cut to those
// bits, and the file's audio is then read from the middle of the cover.
constexpr unsigned int maxId3v2TagSize = 0x0FFFFFFF;

bool writeMpegCover(TagLib::MPEG::File *file, const TagLib::ByteVector &bytes)
{
    if (bytes.size() >= maxId3v2TagSize)
        return false;
    TagLib::ID3v2::AttachedPictureFrame *frame = quillet::findMpegCoverFrame(file);
    if (!frame) {
        TagLib::ID3v2::Tag *tag = file->ID3v2Tag(false);
        if (!tag)
            tag = file->ID3v2Tag(true);
        frame = new TagLib::ID3v2::AttachedPictureFrame();
        tag->addFrame(frame);
    }
    frame->setMimeType(jpegMimeType());
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(bytes);
    // Only a cover near the limit can take the whole tag past it; rendering costs a copy.
    if (bytes.size() < maxId3v2TagSize / 4)
        return true;
    const TagLib::ID3v2::Tag *tag = file->ID3v2Tag(false);
    return tag && tag->render().size() - TagLib::ID3v2::Header::size() <= maxId3v2TagSize;
}

// Only the attribute holding the front cover is replaced, in its place: the tag's other
// pictures stay, in their order.
void writeAsfCover(TagLib::ASF::File *file, const TagLib::ByteVector &bytes)
{
    TagLib::ASF::Tag *tag = file->tag();
    const int index = quillet::findAsfCoverIndex(file);
    const std::unique_ptr<TagLib::ASF::Picture> found(quillet::findAsfCoverPicture(file));
    if (!found || index < 0) {
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType(jpegMimeType());
        picture.setPicture(bytes);
        tag->addAttribute(asfPictureName(), TagLib::ASF::Attribute(picture));
        return;
    }
    found->setMimeType(jpegMimeType());
    found->setPicture(bytes);
    TagLib::ASF::AttributeList pictures = tag->attribute(asfPictureName());
    TagLib::ASF::Attribute &slot = pictures[static_cast<unsigned int>(index)];
    TagLib::ASF::Attribute replacement(*found);
    replacement.setLanguage(slot.language());
    replacement.setStream(slot.stream());
    slot = replacement;
    tag->setAttribute(asfPictureName(), pictures);
}

// Saving must not reorder the pictures (which one is the first front cover depends on it).
void keepAsfPictureOrder(TagLib::ASF::File *file)
{
    TagLib::ASF::Tag *tag = file->tag();
    const TagLib::ASF::AttributeList pictures = tag->attribute(asfPictureName());
    if (pictures.size() > 1)
        tag->setAttribute(asfPictureName(), quillet::asfSavingOrder(file, pictures));
}

// A FLAC metadata block states its length in 24 bits; a bigger picture would make the file
// unreadable.
bool fitsFlacBlock(const TagLib::FLAC::Picture &picture, const TagLib::ByteVector &bytes)
{
    const std::uint64_t fixedFields = 8 * 4; // type, two lengths, four sizes, data length
    const std::uint64_t length = fixedFields + jpegMimeType().data(TagLib::String::UTF8).size()
            + picture.description().data(TagLib::String::UTF8).size() + bytes.size();
    return length <= 0xFFFFFF;
}

bool writeFlacCover(TagLib::FLAC::File *file, const TagLib::ByteVector &bytes)
{
    if (TagLib::FLAC::Picture *picture = quillet::findFlacCoverPicture(file)) {
        if (!fitsFlacBlock(*picture, bytes))
            return false;
        picture->setMimeType(jpegMimeType());
        picture->setData(bytes);
        return true;
    }
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    if (!fitsFlacBlock(*picture, bytes))
        return false;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(jpegMimeType());
    picture->setData(bytes);
    file->addPicture(picture.release());
    return true;
}

// Covers go only into a file that really is of the kind its extension names; a file of another
// kind gets the text fields alone.
bool writeCover(TagLib::File *file, const std::wstring &extension, const TagLib::ByteVector &bytes)
{
    if (extension == L"mp3") {
        if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file))
            return writeMpegCover(mpeg, bytes);
    } else if (extension == L"wma") {
        if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file))
            writeAsfCover(asf, bytes);
    } else if (extension == L"flac") {
        if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file))
            return writeFlacCover(flac, bytes);
    }
    return true;
}

// Applies the request to the open file and saves it; false when the file must not be written.
bool apply(TagLib::FileRef &ref, const std::wstring &extension, const Request &request)
{
    if (ref.isNull())
        return false;
    TagLib::Tag *fields = ref.tag();
    if (!fields)
        return false;
    // TagLib opens any file named .mp3 as MPEG, whatever it holds; saving would then write tags
    // into a file that is not audio of that kind.
    if (!quillet::hasAudioStream(ref))
        return false;

    fields->setTitle(request.title);
    fields->setArtist(request.artist);
    fields->setAlbum(request.album);
    fields->setYear(request.year);
    fields->setComment(request.comment);
    fields->setTrack(request.track);
    fields->setGenre(request.genre);

    if (request.hasPicture && !writeCover(ref.file(), extension, request.picture))
        return false;
    if (auto *asf = dynamic_cast<TagLib::ASF::File *>(ref.file()))
        keepAsfPictureOrder(asf);
    return ref.save();
}

int save(const std::wstring &path, const tagstruct &tag)
{
    Request request;
    if (!prepare(tag, request))
        return -1;
    const std::wstring extension = quillet::extensionOf(path);
    const bool saved = quillet::saveFile(path, [&](TagLib::FileRef &ref, TagLib::IOStream &) {
        return apply(ref, extension, request);
    });
    return saved ? 0 : -1;
}

} // namespace

int saveTag(const std::wstring &path, tagstruct *tag)
{
    if (!tag)
        return -1;
    try {
        return save(path, *tag);
    } catch (...) {
        // Nothing may cross the library boundary (an allocation failing for a huge picture).
        return -1;
    }
}
