#include "covers.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace quillet {

namespace {

const TagLib::ASF::AttributeList *asfPictureAttributes(TagLib::File *file)
{
    auto *tag = file ? dynamic_cast<TagLib::ASF::Tag *>(file->tag()) : nullptr;
    if (!tag)
        return nullptr;
    const TagLib::ASF::AttributeListMap &map = tag->attributeListMap();
    const auto it = map.find(TagLib::String("WM/Picture", TagLib::String::Latin1));
    return it == map.end() ? nullptr : &it->second;
}

} // namespace

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

} // namespace

TagLib::ID3v2::AttachedPictureFrame *findId3v2CoverFrame(const TagLib::ID3v2::Tag *tag)
{
    return id3v2Cover(tag, true);
}

TagLib::ID3v2::AttachedPictureFrame *findId3v2FrontCoverFrame(const TagLib::ID3v2::Tag *tag)
{
    return id3v2Cover(tag, false);
}

TagLib::ID3v2::AttachedPictureFrame *findMpegCoverFrame(TagLib::File *file)
{
    auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file);
    return mpeg ? findId3v2CoverFrame(mpeg->ID3v2Tag(false)) : nullptr;
}

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

TagLib::ASF::Picture *findAsfCoverPicture(TagLib::File *file)
{
    const int index = findAsfCoverIndex(file);
    if (index < 0)
        return nullptr;
    auto *copy = new TagLib::ASF::Picture();
    *copy = (*asfPictureAttributes(file))[index].toPicture();
    return copy;
}

TagLib::FLAC::Picture *findFrontCover(const TagLib::List<TagLib::FLAC::Picture *> &pictures)
{
    for (TagLib::FLAC::Picture *picture : pictures) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            return picture;
    }
    return nullptr;
}

TagLib::FLAC::Picture *findFlacCoverPicture(TagLib::File *file)
{
    auto *flac = dynamic_cast<TagLib::FLAC::File *>(file);
    return flac ? findFrontCover(flac->pictureList()) : nullptr;
}

} // namespace quillet
