#include "covers.h"

#include "imageheader.h"

#include <cstdint>
#include <memory>
#include <string>

#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>
#include <taglib/xiphcomment.h>

namespace quillet {

namespace {

TagLib::String mimeTypeOf(const ImageHeader &header)
{
    return TagLib::String(header.mimeType(), TagLib::String::Latin1);
}

} // namespace

// ID3v2: "APIC" frames.
// -----------------------------------------------------------------------------------------------

namespace {

// The first front cover, else the last picture where orLast is set.
TagLib::ID3v2::AttachedPictureFrame *id3v2Cover(const TagLib::ID3v2::Tag *tag, bool orLast)
{
    if (!tag)
        return nullptr;
    const TagLib::ID3v2::FrameListMap &map = tag->frameListMap();
    const auto it = map.find(TagLib::ByteVector("APIC"));
    if (it == map.end() || it->second.isEmpty())
        return nullptr;
    TagLib::ID3v2::AttachedPictureFrame *last = nullptr;
    for (TagLib::ID3v2::Frame *frame : it->second) {
        auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame);
        if (!picture)
            continue; // an "APIC" id that TagLib could not parse as a picture
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            return picture;
        last = picture;
    }
    return orLast ? last : nullptr;
}

// An ID3v2 tag states its size in 28 bits; TagLib 1.13 writes a bigger one anyway, cut to those
// bits, and the file's audio is then read from the middle of the cover.
constexpr unsigned int maxId3v2TagSize = 0x0FFFFFFF;

} // namespace

bool readId3v2Cover(const TagLib::ID3v2::Tag *tag, TagLib::ByteVector &bytes)
{
    const auto *frame = id3v2Cover(tag, true);
    if (frame)
        bytes = frame->picture();
    return frame;
}

bool writeId3v2Cover(TagLib::ID3v2::Tag *tag, const TagLib::ByteVector &bytes)
{
    if (!tag || bytes.size() >= maxId3v2TagSize)
        return false;
    // Only a front cover is replaced: a file with none gets one beside its other pictures.
    TagLib::ID3v2::AttachedPictureFrame *frame = id3v2Cover(tag, false);
    if (!frame) {
        frame = new TagLib::ID3v2::AttachedPictureFrame();
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        tag->addFrame(frame);
    }
    frame->setMimeType(mimeTypeOf(readImageHeader(bytes)));
    frame->setPicture(bytes);
    // Only a cover near the limit can take the whole tag past it; rendering costs a copy.
    if (bytes.size() < maxId3v2TagSize / 4)
        return true;
    return tag->render().size() - TagLib::ID3v2::Header::size() <= maxId3v2TagSize;
}

bool hasId3v2Pictures(const TagLib::ID3v2::Tag *tag)
{
    return tag && !tag->frameListMap()["APIC"].isEmpty();
}

// ASF: "WM/Picture" attributes.
// -----------------------------------------------------------------------------------------------

const TagLib::String &asfPictureName()
{
    static const TagLib::String name("WM/Picture", TagLib::String::Latin1);
    return name;
}

namespace {

const TagLib::ASF::AttributeList *asfPictureAttributes(TagLib::File *file)
{
    auto *tag = file ? dynamic_cast<TagLib::ASF::Tag *>(file->tag()) : nullptr;
    if (!tag)
        return nullptr;
    const TagLib::ASF::AttributeListMap &map = tag->attributeListMap();
    const auto it = map.find(asfPictureName());
    return it == map.end() ? nullptr : &it->second;
}

// Index of the first "WM/Picture" of type front cover in the tag's list, or -1.
int findAsfCoverIndex(TagLib::File *file)
{
    const TagLib::ASF::AttributeList *list = asfPictureAttributes(file);
    if (!list)
        return -1;
    int index = 0;
    for (const TagLib::ASF::Attribute &attribute : *list) {
        if (attribute.type() == TagLib::ASF::Attribute::BytesType) {
            const TagLib::ASF::Picture picture = attribute.toPicture();
            if (picture.isValid() && picture.type() == TagLib::ASF::Picture::FrontCover)
                return index;
        }
        ++index;
    }
    return -1;
}

// A copy of that picture, or null.
std::unique_ptr<TagLib::ASF::Picture> findAsfCoverPicture(TagLib::File *file)
{
    const int index = findAsfCoverIndex(file);
    if (index < 0)
        return nullptr;
    auto copy = std::make_unique<TagLib::ASF::Picture>();
    *copy = (*asfPictureAttributes(file))[index].toPicture();
    return copy;
}

} // namespace

bool readAsfCover(TagLib::ASF::File &file, TagLib::ByteVector &bytes)
{
    const std::unique_ptr<TagLib::ASF::Picture> picture = findAsfCoverPicture(&file);
    if (picture)
        bytes = picture->picture();
    return picture != nullptr;
}

// Only the attribute holding the front cover is replaced, in its place: the tag's other
// pictures stay, in their order.
bool writeAsfCover(TagLib::ASF::File &file, const TagLib::ByteVector &bytes)
{
    TagLib::ASF::Tag *tag = file.tag();
    const int index = findAsfCoverIndex(&file);
    const std::unique_ptr<TagLib::ASF::Picture> found = findAsfCoverPicture(&file);
    const TagLib::String mimeType = mimeTypeOf(readImageHeader(bytes));
    if (!found || index < 0) {
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType(mimeType);
        picture.setPicture(bytes);
        tag->addAttribute(asfPictureName(), TagLib::ASF::Attribute(picture));
        return true;
    }
    found->setMimeType(mimeType);
    found->setPicture(bytes);
    TagLib::ASF::AttributeList pictures = tag->attribute(asfPictureName());
    TagLib::ASF::Attribute &slot = pictures[static_cast<unsigned int>(index)];
    TagLib::ASF::Attribute replacement(*found);
    replacement.setLanguage(slot.language());
    replacement.setStream(slot.stream());
    slot = replacement;
    tag->setAttribute(asfPictureName(), pictures);
    return true;
}

// FLAC pictures: a FLAC file's picture blocks, and a Xiph comment's METADATA_BLOCK_PICTURE.
// -----------------------------------------------------------------------------------------------

namespace {

// First picture of type front cover, or null.
TagLib::FLAC::Picture *findFrontCover(const TagLib::List<TagLib::FLAC::Picture *> &pictures)
{
    for (TagLib::FLAC::Picture *picture : pictures) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            return picture;
    }
    return nullptr;
}

// A FLAC metadata block states its length in 24 bits; a bigger picture would make the file
// unreadable.
bool fitsFlacBlock(const TagLib::FLAC::Picture &picture, const TagLib::String &mimeType,
                   const TagLib::ByteVector &bytes)
{
    const std::uint64_t fixedFields = 8 * 4; // type, two lengths, four sizes, data length
    const std::uint64_t length = fixedFields + mimeType.data(TagLib::String::UTF8).size()
            + picture.description().data(TagLib::String::UTF8).size() + bytes.size();
    return length <= 0xFFFFFF;
}

// The front cover found gets the bytes, or a new one is handed to add(), which takes it. Either
// states the image's type, size and colours as its header gives them: TagLib keeps the old ones.
template<class Add>
bool writePictureCover(TagLib::FLAC::Picture *cover, const TagLib::ByteVector &bytes, Add add)
{
    std::unique_ptr<TagLib::FLAC::Picture> added;
    TagLib::FLAC::Picture *picture = cover;
    if (!picture) {
        added = std::make_unique<TagLib::FLAC::Picture>();
        added->setType(TagLib::FLAC::Picture::FrontCover);
        picture = added.get();
    }
    const ImageHeader header = readImageHeader(bytes);
    const TagLib::String mimeType = mimeTypeOf(header);
    if (!fitsFlacBlock(*picture, mimeType, bytes))
        return false;
    picture->setMimeType(mimeType);
    picture->setWidth(header.width);
    picture->setHeight(header.height);
    picture->setColorDepth(header.depth);
    picture->setNumColors(header.colours);
    picture->setData(bytes);
    if (added)
        add(added.release());
    return true;
}

bool readPictureCover(const TagLib::List<TagLib::FLAC::Picture *> &pictures,
                      TagLib::ByteVector &bytes)
{
    const TagLib::FLAC::Picture *picture = findFrontCover(pictures);
    if (picture)
        bytes = picture->data();
    return picture;
}

} // namespace

bool readFlacCover(TagLib::FLAC::File &file, TagLib::ByteVector &bytes)
{
    return readPictureCover(file.pictureList(), bytes);
}

bool writeFlacCover(TagLib::FLAC::File &file, const TagLib::ByteVector &bytes)
{
    TagLib::FLAC::Picture *cover = findFrontCover(file.pictureList());
    return writePictureCover(cover, bytes,
                             [&file](TagLib::FLAC::Picture *picture) { file.addPicture(picture); });
}

bool readXiphCover(TagLib::Ogg::XiphComment *comment, TagLib::ByteVector &bytes)
{
    return comment && readPictureCover(comment->pictureList(), bytes);
}

bool writeXiphCover(TagLib::Ogg::XiphComment *comment, const TagLib::ByteVector &bytes,
                    bool inFlacBlock)
{
    if (!comment)
        return false;
    // The list is a copy that shares the comment's own: it must be gone before a picture is
    // added, or TagLib 1 detaches the comment's list from the copy, and the copy it keeps no
    // longer deletes its pictures.
    TagLib::FLAC::Picture *cover = findFrontCover(comment->pictureList());
    if (!writePictureCover(cover, bytes, [comment](TagLib::FLAC::Picture *picture) {
            comment->addPicture(picture);
        }))
        return false;
    // In Ogg FLAC the comment is itself a FLAC metadata block, 24 bits long; the picture goes
    // into it in base64.
    return !inFlacBlock || comment->render(false).size() <= 0xFFFFFF;
}

// MP4: the "covr" item, a list of images without picture types; the first is the cover.
// -----------------------------------------------------------------------------------------------

namespace {

const TagLib::String &mp4CoverName()
{
    static const TagLib::String name("covr", TagLib::String::Latin1);
    return name;
}

TagLib::MP4::CoverArt::Format mp4FormatOf(const TagLib::ByteVector &bytes)
{
    switch (readImageHeader(bytes).type) {
    case ImageHeader::Png:
        return TagLib::MP4::CoverArt::PNG;
    case ImageHeader::Gif:
        return TagLib::MP4::CoverArt::GIF;
    case ImageHeader::Bmp:
        return TagLib::MP4::CoverArt::BMP;
    default:
        return TagLib::MP4::CoverArt::JPEG; // JPEG, and what the editor always hands over
    }
}

} // namespace

bool readMp4Cover(const TagLib::MP4::Tag *tag, TagLib::ByteVector &bytes)
{
    if (!tag || !tag->contains(mp4CoverName()))
        return false;
    const TagLib::MP4::CoverArtList covers = tag->item(mp4CoverName()).toCoverArtList();
    if (covers.isEmpty())
        return false;
    bytes = covers.front().data();
    return true;
}

bool writeMp4Cover(TagLib::MP4::Tag *tag, const TagLib::ByteVector &bytes)
{
    if (!tag)
        return false;
    TagLib::MP4::CoverArtList covers;
    if (tag->contains(mp4CoverName()))
        covers = tag->item(mp4CoverName()).toCoverArtList();
    const TagLib::MP4::CoverArt cover(mp4FormatOf(bytes), bytes);
    if (covers.isEmpty())
        covers.append(cover);
    else
        covers.front() = cover;
    tag->setItem(mp4CoverName(), TagLib::MP4::Item(covers));
    return true;
}

// APE tags: the binary item "Cover Art (Front)", a file name, a NUL and the image.
// -----------------------------------------------------------------------------------------------

namespace {

const TagLib::String &apeCoverName()
{
    static const TagLib::String name("Cover Art (Front)", TagLib::String::Latin1);
    return name;
}

// The item's whole value, or empty; TagLib keeps APE keys in upper case.
TagLib::ByteVector apeCoverItem(const TagLib::APE::Tag *tag)
{
    if (!tag)
        return TagLib::ByteVector();
    const TagLib::APE::ItemListMap &items = tag->itemListMap();
    const auto it = items.find(apeCoverName().upper());
    if (it == items.end() || it->second.type() != TagLib::APE::Item::Binary)
        return TagLib::ByteVector();
    return it->second.binaryData();
}

} // namespace

bool readApeCover(const TagLib::APE::Tag *tag, TagLib::ByteVector &bytes)
{
    const TagLib::ByteVector item = apeCoverItem(tag);
    const int nul = item.find('\0');
    if (nul < 0)
        return false;
    bytes = item.mid(static_cast<unsigned int>(nul) + 1);
    return true;
}

bool writeApeCover(TagLib::APE::Tag *tag, const TagLib::ByteVector &bytes)
{
    if (!tag)
        return false;
    const TagLib::ByteVector item = apeCoverItem(tag);
    const int nul = item.find('\0');
    const std::string name = std::string("cover.") + readImageHeader(bytes).extension();
    TagLib::ByteVector value = nul >= 0
            ? item.mid(0, static_cast<unsigned int>(nul))
            : TagLib::ByteVector(name.data(), static_cast<unsigned int>(name.size()));
    value.append('\0');
    value.append(bytes);
    tag->setItem(apeCoverName(), TagLib::APE::Item(apeCoverName(), value, true));
    return true;
}

} // namespace quillet
