// Every picture of a file, in each of the ways tags keep them, as ID3v2's picture types.
#include "engineparts.h"

#include "covers.h"
#include "errors.h"
#include "formats.h"
#include "imageheader.h"
#include "textconv.h"

#include <algorithm>
#include <cerrno>
#include <iterator>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

namespace quillet {

namespace {

namespace T = TagLib;
using Change = ChangeSet::PictureChange;

// Limits of the formats' length fields (covers.cpp has the same for the front cover).
constexpr unsigned int maxId3v2TagSize = 0x0FFFFFFF;
constexpr unsigned int maxFlacBlock = 0xFFFFFF;

Picture pictureOf(int type, const T::String &mime, const T::String &description,
                  const T::ByteVector &data, int width = 0, int height = 0)
{
    Picture picture;
    picture.type = type >= 0 && type <= 20 ? static_cast<PictureType>(type) : PictureType::Other;
    const ImageHeader header = readImageHeader(data);
    picture.mime = mime.isEmpty() ? std::string(header.mimeType()) : toUtf8(mime);
    picture.description = toUtf8(description);
    picture.data.assign(data.data(), data.size());
    picture.width = width > 0 ? width : header.width;
    picture.height = height > 0 ? height : header.height;
    return picture;
}

T::ByteVector bytesOf(const std::string &data)
{
    return T::ByteVector(data.data(), static_cast<unsigned int>(data.size()));
}

T::String mimeOf(const Picture &picture, const T::ByteVector &data)
{
    return picture.mime.empty() ? fromLatin1(readImageHeader(data).mimeType())
                                : fromUtf8(picture.mime);
}

bool matches(const Change &change, int type, const T::String &description)
{
    return type == static_cast<int>(change.type)
            && (!change.matchDescription || description == fromUtf8(change.description));
}

// ID3v2: "APIC" frames.
// -----------------------------------------------------------------------------------------------

T::ID3v2::Tag *id3v2Of(T::File &file, bool create)
{
    if (auto *mpeg = dynamic_cast<T::MPEG::File *>(&file))
        return mpeg->ID3v2Tag(create);
    if (auto *tta = dynamic_cast<T::TrueAudio::File *>(&file))
        return tta->ID3v2Tag(create);
    if (auto *aiff = dynamic_cast<T::RIFF::AIFF::File *>(&file))
        return aiff->tag();
    if (auto *wav = dynamic_cast<T::RIFF::WAV::File *>(&file))
        return wav->ID3v2Tag();
    return nullptr;
}

void readId3v2(T::File &file, std::vector<Picture> &pictures)
{
    const T::ID3v2::Tag *tag = id3v2Of(file, false);
    if (!tag)
        return;
    for (T::ID3v2::Frame *frame : tag->frameList("APIC")) {
        if (const auto *apic = dynamic_cast<T::ID3v2::AttachedPictureFrame *>(frame))
            pictures.push_back(pictureOf(apic->type(), apic->mimeType(), apic->description(),
                                         apic->picture()));
    }
}

bool changeId3v2(T::File &file, const Change &change)
{
    T::ID3v2::Tag *tag = id3v2Of(file, change.action == Change::Action::Put);
    if (!tag)
        return true;
    const T::ByteVector data = bytesOf(change.picture.data);
    if (data.size() >= maxId3v2TagSize)
        return failWith(EFBIG);
    bool put = change.action == Change::Action::Remove;
    const T::ID3v2::FrameList &list = tag->frameList("APIC");
    // Out of TagLib's list, which removing a frame changes.
    const std::vector<T::ID3v2::Frame *> frames(list.begin(), list.end());
    for (T::ID3v2::Frame *frame : frames) {
        auto *apic = dynamic_cast<T::ID3v2::AttachedPictureFrame *>(frame);
        if (!apic || !matches(change, apic->type(), apic->description()))
            continue;
        if (put) {
            tag->removeFrame(frame);
            continue;
        }
        apic->setMimeType(mimeOf(change.picture, data));
        apic->setDescription(fromUtf8(change.description));
        apic->setPicture(data);
        put = true;
    }
    if (!put) {
        auto *apic = new T::ID3v2::AttachedPictureFrame();
        apic->setTextEncoding(T::String::UTF8);
        apic->setType(static_cast<T::ID3v2::AttachedPictureFrame::Type>(change.type));
        apic->setMimeType(mimeOf(change.picture, data));
        apic->setDescription(fromUtf8(change.description));
        apic->setPicture(data);
        tag->addFrame(apic);
    }
    if (data.size() < maxId3v2TagSize / 4)
        return true;
    return tag->render().size() <= maxId3v2TagSize || failWith(EFBIG);
}

// FLAC pictures: a FLAC file's blocks and a Xiph comment's METADATA_BLOCK_PICTURE.
// -----------------------------------------------------------------------------------------------

void readFlacPictures(const T::List<T::FLAC::Picture *> &list, std::vector<Picture> &pictures)
{
    for (const T::FLAC::Picture *picture : list)
        pictures.push_back(pictureOf(picture->type(), picture->mimeType(), picture->description(),
                                     picture->data(), picture->width(), picture->height()));
}

void fillFlacPicture(T::FLAC::Picture &picture, const Change &change, const T::ByteVector &data)
{
    const ImageHeader header = readImageHeader(data);
    picture.setType(static_cast<T::FLAC::Picture::Type>(change.type));
    picture.setMimeType(mimeOf(change.picture, data));
    picture.setDescription(fromUtf8(change.description));
    picture.setWidth(change.picture.width > 0 ? change.picture.width : header.width);
    picture.setHeight(change.picture.height > 0 ? change.picture.height : header.height);
    picture.setColorDepth(header.depth);
    picture.setNumColors(header.colours);
    picture.setData(data);
}

// remove(picture) and add(picture) as the file's or the comment's own.
// The pointers, out of TagLib's list: a copy of a comment's list that is left sharing it while
// the comment changes would, in TagLib 1, delete the pictures with it.
std::vector<T::FLAC::Picture *> pointersOf(const T::List<T::FLAC::Picture *> &list)
{
    return std::vector<T::FLAC::Picture *>(list.begin(), list.end());
}

template<class Remove, class Add>
bool changeFlacPictures(const std::vector<T::FLAC::Picture *> &list, const Change &change,
                        Remove remove, Add add)
{
    const T::ByteVector data = bytesOf(change.picture.data);
    if (data.size() + change.description.size() + change.picture.mime.size() + 32 > maxFlacBlock)
        return failWith(EFBIG);
    bool put = change.action == Change::Action::Remove;
    for (T::FLAC::Picture *picture : list) {
        if (!matches(change, picture->type(), picture->description()))
            continue;
        if (put) {
            remove(picture);
            continue;
        }
        fillFlacPicture(*picture, change, data);
        put = true;
    }
    if (!put) {
        auto *picture = new T::FLAC::Picture();
        fillFlacPicture(*picture, change, data);
        add(picture);
    }
    return true;
}

// MP4: "covr", a list of images without types: the first is the front cover, the rest "other".
// -----------------------------------------------------------------------------------------------

const char *mp4MimeOf(T::MP4::CoverArt::Format format)
{
    switch (format) {
    case T::MP4::CoverArt::PNG:
        return "image/png";
    case T::MP4::CoverArt::GIF:
        return "image/gif";
    case T::MP4::CoverArt::BMP:
        return "image/bmp";
    default:
        return "image/jpeg";
    }
}

T::MP4::CoverArtList mp4Covers(const T::MP4::Tag &tag)
{
    return tag.contains("covr") ? tag.item("covr").toCoverArtList() : T::MP4::CoverArtList();
}

void readMp4(T::MP4::Tag &tag, std::vector<Picture> &pictures)
{
    int type = static_cast<int>(PictureType::FrontCover);
    for (const T::MP4::CoverArt &cover : mp4Covers(tag)) {
        pictures.push_back(
                pictureOf(type, fromLatin1(mp4MimeOf(cover.format())), T::String(), cover.data()));
        type = static_cast<int>(PictureType::Other);
    }
}

T::MP4::CoverArt::Format mp4FormatOf(const T::ByteVector &data)
{
    switch (readImageHeader(data).type) {
    case ImageHeader::Png:
        return T::MP4::CoverArt::PNG;
    case ImageHeader::Gif:
        return T::MP4::CoverArt::GIF;
    case ImageHeader::Bmp:
        return T::MP4::CoverArt::BMP;
    default:
        return T::MP4::CoverArt::JPEG;
    }
}

bool changeMp4(T::MP4::Tag &tag, const Change &change)
{
    T::MP4::CoverArtList covers = mp4Covers(tag);
    const bool front = change.type == PictureType::FrontCover;
    const T::ByteVector data = bytesOf(change.picture.data);
    if (change.action == Change::Action::Put) {
        const T::MP4::CoverArt cover(mp4FormatOf(data), data);
        if (front && !covers.isEmpty())
            covers.front() = cover;
        else if (front)
            covers.prepend(cover);
        else
            covers.append(cover);
    } else if (front && !covers.isEmpty()) {
        covers.erase(covers.begin());
    } else if (!front && covers.size() > 1) {
        covers = T::MP4::CoverArtList().append(covers.front());
    }
    if (covers.isEmpty())
        tag.removeItem("covr");
    else
        tag.setItem("covr", T::MP4::Item(covers));
    return true;
}

// APE: binary items "Cover Art (Front)" and the like: a file name, a NUL and the image.
// -----------------------------------------------------------------------------------------------

const char *const apeNames[] = {
        "Other",
        "Icon",
        "Other Icon",
        "Front",
        "Back",
        "Leaflet",
        "Media",
        "Lead Artist",
        "Artist",
        "Conductor",
        "Band",
        "Composer",
        "Lyricist",
        "Recording Location",
        "During Recording",
        "During Performance",
        "Video Capture",
        "Fish",
        "Illustration",
        "Band Logotype",
        "Publisher Logotype",
};

T::String apeItemName(int type)
{
    return "Cover Art (" + fromLatin1(apeNames[type]) + ")";
}

T::APE::Tag *apeOf(T::File &file, bool create)
{
    if (auto *ape = dynamic_cast<T::APE::File *>(&file))
        return ape->APETag(create);
    if (auto *wavPack = dynamic_cast<T::WavPack::File *>(&file))
        return wavPack->APETag(create);
    if (auto *mpc = dynamic_cast<T::MPC::File *>(&file))
        return mpc->APETag(create);
    return nullptr;
}

void readApe(const T::APE::Tag &tag, std::vector<Picture> &pictures)
{
    for (int type = 0; type < static_cast<int>(std::size(apeNames)); ++type) {
        const auto found = tag.itemListMap().find(apeItemName(type).upper());
        if (found == tag.itemListMap().end() || found->second.type() != T::APE::Item::Binary)
            continue;
        const T::ByteVector value = found->second.binaryData();
        const int nul = value.find('\0');
        if (nul < 0)
            continue;
        const auto at = static_cast<unsigned int>(nul);
        pictures.push_back(pictureOf(type, T::String(),
                                     T::String(value.mid(0, at), T::String::UTF8),
                                     value.mid(at + 1)));
    }
}

bool changeApe(T::APE::Tag &tag, const Change &change)
{
    const T::String name = apeItemName(static_cast<int>(change.type));
    const auto found = tag.itemListMap().find(name.upper());
    const bool has = found != tag.itemListMap().end();
    T::ByteVector description;
    if (has) {
        const T::ByteVector value = found->second.binaryData();
        description = value.mid(0, static_cast<unsigned int>(std::max(value.find('\0'), 0)));
    }
    // One item a type: a picture put replaces it whatever its description.
    if (change.action == Change::Action::Remove) {
        if (has && change.matchDescription
            && T::String(description, T::String::UTF8) != fromUtf8(change.description))
            return true;
        tag.removeItem(name);
        return true;
    }
    const T::ByteVector data = bytesOf(change.picture.data);
    T::ByteVector value = change.description.empty()
            ? T::ByteVector(("cover." + std::string(readImageHeader(data).extension())).c_str())
            : fromUtf8(change.description).data(T::String::UTF8);
    value.append('\0');
    value.append(data);
    tag.setItem(name, T::APE::Item(name, value, true));
    return true;
}

// ASF: "WM/Picture" attributes.
// -----------------------------------------------------------------------------------------------

void readAsf(T::ASF::Tag &tag, std::vector<Picture> &pictures)
{
    for (const T::ASF::Attribute &attribute : tag.attribute(asfPictureName())) {
        if (attribute.type() != T::ASF::Attribute::BytesType)
            continue;
        const T::ASF::Picture picture = attribute.toPicture();
        if (picture.isValid())
            pictures.push_back(pictureOf(picture.type(), picture.mimeType(), picture.description(),
                                         picture.picture()));
    }
}

bool changeAsf(T::ASF::Tag &tag, const Change &change)
{
    const T::ByteVector data = bytesOf(change.picture.data);
    T::ASF::Picture made;
    made.setType(static_cast<T::ASF::Picture::Type>(change.type));
    made.setMimeType(mimeOf(change.picture, data));
    made.setDescription(fromUtf8(change.description));
    made.setPicture(data);
    T::ASF::AttributeList kept;
    bool put = change.action == Change::Action::Remove;
    for (const T::ASF::Attribute &attribute : tag.attribute(asfPictureName())) {
        const T::ASF::Picture picture = attribute.type() == T::ASF::Attribute::BytesType
                ? attribute.toPicture()
                : T::ASF::Picture();
        if (!picture.isValid() || !matches(change, picture.type(), picture.description())) {
            kept.append(attribute);
        } else if (!put) {
            T::ASF::Attribute replacement(made);
            replacement.setLanguage(attribute.language());
            replacement.setStream(attribute.stream());
            kept.append(replacement);
            put = true;
        }
    }
    if (!put)
        kept.append(T::ASF::Attribute(made));
    if (kept.isEmpty())
        tag.removeItem(asfPictureName());
    else
        tag.setAttribute(asfPictureName(), kept);
    return true;
}

} // namespace

std::vector<Picture> picturesOf(T::File &file, const std::wstring &path, const FileKind *opened)
{
    std::vector<Picture> pictures;
    const FileKind *kind = coverKindOf(path, opened);
    switch (kind ? kind->coverFormat() : NoCoverFormat) {
    case Id3v2Format:
        readId3v2(file, pictures);
        break;
    case FlacFormat:
        readFlacPictures(dynamic_cast<T::FLAC::File &>(file).pictureList(), pictures);
        break;
    case XiphFormat:
        if (auto *xiph = dynamic_cast<T::Ogg::XiphComment *>(file.tag()))
            readFlacPictures(xiph->pictureList(), pictures);
        break;
    case Mp4Format:
        readMp4(*dynamic_cast<T::MP4::Tag *>(file.tag()), pictures);
        break;
    case ApeFormat:
        if (const T::APE::Tag *ape = apeOf(file, false))
            readApe(*ape, pictures);
        break;
    case AsfFormat:
        readAsf(*dynamic_cast<T::ASF::Tag *>(file.tag()), pictures);
        break;
    default:
        break;
    }
    return pictures;
}

bool changePictures(T::File &file, const std::wstring &path, const std::vector<Change> &changes)
{
    if (changes.empty())
        return true;
    const FileKind *kind = coverKindOf(path, file);
    const int format = kind ? kind->coverFormat() : NoCoverFormat;
    for (const Change &change : changes) {
        const int type = static_cast<int>(change.type);
        if (type < 0 || type > 20
            || (change.action == Change::Action::Put && change.picture.data.empty()))
            return failWith(EINVAL);
        bool changed = true;
        switch (format) {
        case Id3v2Format:
            changed = changeId3v2(file, change);
            break;
        case FlacFormat: {
            auto &flac = dynamic_cast<T::FLAC::File &>(file);
            const std::vector<T::FLAC::Picture *> pictures = pointersOf(flac.pictureList());
            changed = changeFlacPictures(
                    pictures, change,
                    [&flac](T::FLAC::Picture *picture) { flac.removePicture(picture, true); },
                    [&flac](T::FLAC::Picture *picture) { flac.addPicture(picture); });
            break;
        }
        case XiphFormat: {
            auto *xiph = dynamic_cast<T::Ogg::XiphComment *>(file.tag());
            if (!xiph)
                return failWith(EINVAL);
            const std::vector<T::FLAC::Picture *> pictures = pointersOf(xiph->pictureList());
            changed = changeFlacPictures(
                    pictures, change,
                    [xiph](T::FLAC::Picture *picture) { xiph->removePicture(picture, true); },
                    [xiph](T::FLAC::Picture *picture) { xiph->addPicture(picture); });
            // In Ogg FLAC the comment is itself a FLAC metadata block, 24 bits long.
            if (changed && dynamic_cast<T::Ogg::FLAC::File *>(&file)
                && xiph->render(false).size() > maxFlacBlock)
                return failWith(EFBIG);
            break;
        }
        case Mp4Format:
            changed = changeMp4(*dynamic_cast<T::MP4::Tag *>(file.tag()), change);
            break;
        case ApeFormat: {
            T::APE::Tag *ape = apeOf(file, change.action == Change::Action::Put);
            changed = !ape || changeApe(*ape, change);
            break;
        }
        case AsfFormat:
            changed = changeAsf(*dynamic_cast<T::ASF::Tag *>(file.tag()), change);
            break;
        default:
            return failWith(EINVAL); // a file that keeps no pictures (or not under this name)
        }
        if (!changed)
            return false;
    }
    return true;
}

} // namespace quillet
