#include "taglibdirect.h"

#include <cstring>
#include <memory>
#include <vector>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace taglibdirect {

namespace {

std::string extensionOf(const std::string &path)
{
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

TagLib::ID3v2::AttachedPictureFrame *mpegCover(TagLib::File *file)
{
    auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file);
    TagLib::ID3v2::Tag *tag = mpeg ? mpeg->ID3v2Tag(false) : nullptr;
    if (!tag)
        return nullptr;
    const TagLib::ID3v2::FrameList &frames = tag->frameListMap()["APIC"];
    TagLib::ID3v2::AttachedPictureFrame *last = nullptr;
    for (TagLib::ID3v2::Frame *frame : frames) {
        auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame);
        if (!picture)
            continue;
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            return picture;
        last = picture;
    }
    return last;
}

// The first front cover of a FLAC file's pictures or of a Xiph comment's METADATA_BLOCK_PICTURE.
TagLib::FLAC::Picture *frontCover(const TagLib::List<TagLib::FLAC::Picture *> &pictures)
{
    for (TagLib::FLAC::Picture *picture : pictures) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover)
            return picture;
    }
    return nullptr;
}

TagLib::FLAC::Picture *flacCover(TagLib::File *file)
{
    auto *flac = dynamic_cast<TagLib::FLAC::File *>(file);
    return flac ? frontCover(flac->pictureList()) : nullptr;
}

TagLib::Ogg::XiphComment *vorbisComment(TagLib::File *file)
{
    auto *vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File *>(file);
    return vorbis ? vorbis->tag() : nullptr;
}

TagLib::MP4::Tag *mp4Tag(TagLib::File *file)
{
    auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file);
    return mp4 ? mp4->tag() : nullptr;
}

const TagLib::String &mp4CoverName()
{
    static const TagLib::String name("covr", TagLib::String::Latin1);
    return name;
}

// The "covr" item's images, which have no picture types: the first is the cover.
TagLib::MP4::CoverArtList mp4Covers(const TagLib::MP4::Tag *tag)
{
    if (!tag || !tag->contains(mp4CoverName()))
        return TagLib::MP4::CoverArtList();
    return tag->item(mp4CoverName()).toCoverArtList();
}

TagLib::ASF::Tag *asfTag(TagLib::File *file)
{
    auto *asf = dynamic_cast<TagLib::ASF::File *>(file);
    return asf ? asf->tag() : nullptr;
}

// The front cover's index in the "WM/Picture" list, or -1.
int asfCoverIndex(const TagLib::ASF::AttributeList &list)
{
    for (unsigned int i = 0; i < list.size(); ++i) {
        if (list[i].type() == TagLib::ASF::Attribute::BytesType
            && list[i].toPicture().type() == TagLib::ASF::Picture::FrontCover)
            return static_cast<int>(i);
    }
    return -1;
}

// The caller's copy of the cover, as readTag hands it over.
std::unique_ptr<char[]> copyCover(const TagLib::ByteVector &bytes, std::size_t &size)
{
    std::unique_ptr<char[]> copy(new char[bytes.size()]);
    if (bytes.size() > 0)
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    size = bytes.size();
    return copy;
}

std::unique_ptr<char[]> readCover(TagLib::File *file, const std::string &extension,
                                  std::size_t &size)
{
    if (extension == "mp3") {
        if (const auto *frame = mpegCover(file))
            return copyCover(frame->picture(), size);
    } else if (extension == "wma") {
        if (TagLib::ASF::Tag *tag = asfTag(file)) {
            const TagLib::ASF::AttributeList &list = tag->attributeListMap()["WM/Picture"];
            const int index = asfCoverIndex(list);
            if (index >= 0)
                return copyCover(list[static_cast<unsigned int>(index)].toPicture().picture(),
                                 size);
        }
    } else if (extension == "flac") {
        if (const auto *picture = flacCover(file))
            return copyCover(picture->data(), size);
    } else if (extension == "m4a") {
        const TagLib::MP4::CoverArtList covers = mp4Covers(mp4Tag(file));
        if (!covers.isEmpty())
            return copyCover(covers.front().data(), size);
    } else if (extension == "ogg") {
        TagLib::Ogg::XiphComment *comment = vorbisComment(file);
        if (const auto *picture = comment ? frontCover(comment->pictureList()) : nullptr)
            return copyCover(picture->data(), size);
    }
    return nullptr;
}

TagLib::String utf8(const std::string &text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

} // namespace

std::size_t read(const std::string &path)
{
    // Released after the file is closed, as the caller of readTag releases it.
    std::unique_ptr<char[]> cover;
    std::size_t sum = 0;
    const TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
    if (ref.isNull())
        return 0;
    if (const TagLib::Tag *tag = ref.tag()) {
        for (const TagLib::String &text :
             {tag->title(), tag->artist(), tag->album(), tag->comment(), tag->genre()})
            sum += text.toWString().size();
        sum += std::to_wstring(tag->year()).size() + std::to_wstring(tag->track()).size();
        std::size_t coverSize = 0;
        cover = readCover(ref.file(), extensionOf(path), coverSize);
        sum += coverSize + (cover && coverSize > 0 ? static_cast<unsigned char>(cover[0]) : 0);
        const TagLib::PropertyMap properties = ref.file()->properties();
        for (const auto &property : properties) {
            sum += property.first.toWString().size();
            for (const TagLib::String &value : property.second)
                sum += value.toWString().size();
        }
    }
    if (const TagLib::AudioProperties *audio = ref.audioProperties())
        sum += audio->bitrate() + audio->sampleRate() + audio->channels()
                + audio->lengthInSeconds();
    return sum;
}

bool save(const std::string &path, const Fields &fields, const char *cover, std::size_t coverSize)
{
    TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
    if (ref.isNull() || !ref.tag())
        return false;
    TagLib::Tag *tag = ref.tag();
    tag->setTitle(utf8(fields.title));
    tag->setArtist(utf8(fields.artist));
    tag->setAlbum(utf8(fields.album));
    tag->setYear(fields.year);
    tag->setComment(utf8(fields.comment));
    tag->setTrack(fields.track);
    tag->setGenre(utf8(fields.genre));

    const std::string extension = extensionOf(path);
    if (coverSize > 0) {
        const TagLib::ByteVector bytes(cover, static_cast<unsigned int>(coverSize));
        if (extension == "mp3") {
            auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file());
            if (!mpeg)
                return false;
            TagLib::ID3v2::AttachedPictureFrame *frame = mpegCover(mpeg);
            if (!frame) {
                frame = new TagLib::ID3v2::AttachedPictureFrame();
                mpeg->ID3v2Tag(true)->addFrame(frame);
            }
            frame->setMimeType("image/jpeg");
            frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            frame->setPicture(bytes);
        } else if (extension == "wma") {
            TagLib::ASF::Tag *asf = asfTag(ref.file());
            if (!asf)
                return false;
            const TagLib::ASF::AttributeList &list = asf->attributeListMap()["WM/Picture"];
            const int index = asfCoverIndex(list);
            if (index >= 0) {
                TagLib::ASF::Picture picture = list[static_cast<unsigned int>(index)].toPicture();
                picture.setPicture(bytes);
                asf->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
            } else {
                TagLib::ASF::Picture picture;
                picture.setType(TagLib::ASF::Picture::FrontCover);
                picture.setPicture(bytes);
                asf->addAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
            }
        } else if (extension == "flac") {
            auto *flac = dynamic_cast<TagLib::FLAC::File *>(ref.file());
            if (!flac)
                return false;
            TagLib::FLAC::Picture *picture = flacCover(flac);
            if (!picture) {
                picture = new TagLib::FLAC::Picture();
                picture->setType(TagLib::FLAC::Picture::FrontCover);
                flac->addPicture(picture);
            }
            picture->setMimeType("image/jpeg");
            picture->setData(bytes);
        } else if (extension == "m4a") {
            TagLib::MP4::Tag *mp4 = mp4Tag(ref.file());
            if (!mp4)
                return false;
            TagLib::MP4::CoverArtList covers = mp4Covers(mp4);
            const TagLib::MP4::CoverArt cover(TagLib::MP4::CoverArt::JPEG, bytes);
            if (covers.isEmpty())
                covers.append(cover);
            else
                covers.front() = cover;
            mp4->setItem(mp4CoverName(), TagLib::MP4::Item(covers));
        } else if (extension == "ogg") {
            TagLib::Ogg::XiphComment *comment = vorbisComment(ref.file());
            if (!comment)
                return false;
            TagLib::FLAC::Picture *picture = frontCover(comment->pictureList());
            if (!picture) {
                picture = new TagLib::FLAC::Picture();
                picture->setType(TagLib::FLAC::Picture::FrontCover);
                comment->addPicture(picture);
            }
            picture->setMimeType("image/jpeg");
            picture->setData(bytes);
        }
    }
    return ref.save();
}

namespace {

// Every picture's bytes copied out, as readFull hands them over; the sum of their sizes.
std::size_t copyAll(const std::vector<TagLib::ByteVector> &pictures)
{
    std::size_t total = 0;
    for (const TagLib::ByteVector &bytes : pictures) {
        std::string copy(bytes.data(), bytes.size());
        total += copy.size();
    }
    return total;
}

std::vector<TagLib::ByteVector> allPictures(TagLib::File *file)
{
    std::vector<TagLib::ByteVector> pictures;
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        if (TagLib::ID3v2::Tag *tag = mpeg->ID3v2Tag(false)) {
            for (TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
                if (auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
                    pictures.push_back(picture->picture());
            }
        }
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        for (TagLib::FLAC::Picture *picture : flac->pictureList())
            pictures.push_back(picture->data());
    } else if (TagLib::Ogg::XiphComment *comment = vorbisComment(file)) {
        for (TagLib::FLAC::Picture *picture : comment->pictureList())
            pictures.push_back(picture->data());
    } else if (TagLib::MP4::Tag *tag = mp4Tag(file)) {
        for (const TagLib::MP4::CoverArt &cover : mp4Covers(tag))
            pictures.push_back(cover.data());
    } else if (TagLib::ASF::Tag *tag = asfTag(file)) {
        for (const TagLib::ASF::Attribute &attribute : tag->attribute("WM/Picture"))
            pictures.push_back(attribute.toPicture().picture());
    }
    return pictures;
}

} // namespace

std::size_t readEverything(const std::string &path)
{
    const TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
    if (ref.isNull())
        return 0;
    std::size_t sum = 0;
    const TagLib::PropertyMap properties = ref.file()->properties();
    for (const auto &property : properties) {
        sum += property.first.to8Bit(true).size();
        for (const TagLib::String &value : property.second)
            sum += value.to8Bit(true).size();
    }
    sum += copyAll(allPictures(ref.file()));
    if (const TagLib::AudioProperties *audio = ref.audioProperties())
        sum += static_cast<std::size_t>(audio->lengthInMilliseconds() + audio->bitrate()
                                        + audio->sampleRate() + audio->channels());
    return sum;
}

bool saveProperty(const std::string &path, const std::string &key, const std::string &value)
{
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull())
        return false;
    TagLib::PropertyMap properties = ref.file()->properties();
    properties.replace(TagLib::String(key, TagLib::String::UTF8),
                       TagLib::StringList(TagLib::String(value, TagLib::String::UTF8)));
    ref.file()->setProperties(properties);
    return ref.save();
}

} // namespace taglibdirect
