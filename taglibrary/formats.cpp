#include "formats.h"

#include "asforder.h"
#include "covers.h"
#include "imageheader.h"
#include "textconv.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/modfilebase.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/taglib.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>
#if TAGLIB_MAJOR_VERSION >= 2
#    include <taglib/dsdifffile.h>
#    include <taglib/dsffile.h>
#endif

namespace quillet {

namespace {

TagLib::String mimeTypeOf(const ImageHeader &header)
{
    return TagLib::String(header.mimeType(), TagLib::String::Latin1);
}

// ID3v2: in MPEG files, and inside AIFF, WAV and TrueAudio containers.
// -----------------------------------------------------------------------------------------------

TagLib::ID3v2::Tag *id3v2TagOf(TagLib::MPEG::File &file, bool create)
{
    return file.ID3v2Tag(create);
}
TagLib::ID3v2::Tag *id3v2TagOf(TagLib::RIFF::AIFF::File &file, bool)
{
    return file.tag();
}
TagLib::ID3v2::Tag *id3v2TagOf(TagLib::RIFF::WAV::File &file, bool)
{
    return file.ID3v2Tag();
}
TagLib::ID3v2::Tag *id3v2TagOf(TagLib::TrueAudio::File &file, bool create)
{
    return file.ID3v2Tag(create);
}

// An ID3v2 tag states its size in 28 bits; TagLib 1.13 writes a bigger one anyway, cut to those
// bits, and the file's audio is then read from the middle of the cover.
constexpr unsigned int maxId3v2TagSize = 0x0FFFFFFF;

bool writeId3v2Cover(TagLib::ID3v2::Tag *tag, const TagLib::ByteVector &bytes)
{
    if (!tag || bytes.size() >= maxId3v2TagSize)
        return false;
    // Only a front cover is replaced: a file with none gets one beside its other pictures.
    TagLib::ID3v2::AttachedPictureFrame *frame = findId3v2FrontCoverFrame(tag);
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

// TagLib writes ID3v2.4 unless told otherwise: a tag stays in the version it has. TagLib cannot
// write 2.2, so that one becomes 2.4, as does a new tag.
TagLib::ID3v2::Version versionOf(const TagLib::ID3v2::Tag *tag, bool present)
{
    return present && tag && tag->header()->majorVersion() == 3 ? TagLib::ID3v2::v3
                                                                : TagLib::ID3v2::v4;
}

struct Id3v2Covers
{
    template<class F> static bool read(F &file, TagLib::ByteVector &bytes)
    {
        const auto *frame = findId3v2CoverFrame(id3v2TagOf(file, false));
        if (frame)
            bytes = frame->picture();
        return frame;
    }
    template<class F> static bool write(F &file, const TagLib::ByteVector &bytes)
    {
        TagLib::ID3v2::Tag *tag = id3v2TagOf(file, false);
        return writeId3v2Cover(tag ? tag : id3v2TagOf(file, true), bytes);
    }
};

// ASF: "WM/Picture" attributes.
// -----------------------------------------------------------------------------------------------

const TagLib::String &asfPictureName()
{
    static const TagLib::String name("WM/Picture", TagLib::String::Latin1);
    return name;
}

struct AsfCovers
{
    static bool read(TagLib::ASF::File &file, TagLib::ByteVector &bytes)
    {
        const std::unique_ptr<TagLib::ASF::Picture> picture(findAsfCoverPicture(&file));
        if (picture)
            bytes = picture->picture();
        return picture != nullptr;
    }

    // Only the attribute holding the front cover is replaced, in its place: the tag's other
    // pictures stay, in their order.
    static bool write(TagLib::ASF::File &file, const TagLib::ByteVector &bytes)
    {
        TagLib::ASF::Tag *tag = file.tag();
        const int index = findAsfCoverIndex(&file);
        const std::unique_ptr<TagLib::ASF::Picture> found(findAsfCoverPicture(&file));
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
};

// FLAC pictures: a FLAC file's picture blocks, and a Xiph comment's METADATA_BLOCK_PICTURE.
// -----------------------------------------------------------------------------------------------

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

struct FlacCovers
{
    static bool read(TagLib::FLAC::File &file, TagLib::ByteVector &bytes)
    {
        return readPictureCover(file.pictureList(), bytes);
    }
    static bool write(TagLib::FLAC::File &file, const TagLib::ByteVector &bytes)
    {
        TagLib::FLAC::Picture *cover = findFrontCover(file.pictureList());
        return writePictureCover(cover, bytes, [&file](TagLib::FLAC::Picture *picture) {
            file.addPicture(picture);
        });
    }
};

struct XiphCovers
{
    template<class F> static bool read(F &file, TagLib::ByteVector &bytes)
    {
        TagLib::Ogg::XiphComment *comment = file.tag();
        return comment && readPictureCover(comment->pictureList(), bytes);
    }
    template<class F> static bool write(F &file, const TagLib::ByteVector &bytes)
    {
        TagLib::Ogg::XiphComment *comment = file.tag();
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
        // In Ogg FLAC the comment is itself a FLAC metadata block, 24 bits long; the picture
        // goes into it in base64.
        if constexpr (std::is_same_v<F, TagLib::Ogg::FLAC::File>)
            return comment->render(false).size() <= 0xFFFFFF;
        return true;
    }
};

// MP4: the "covr" item, a list of images without picture types; the first is the cover.
// -----------------------------------------------------------------------------------------------

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

struct Mp4Covers
{
    static bool read(TagLib::MP4::File &file, TagLib::ByteVector &bytes)
    {
        const TagLib::MP4::Tag *tag = file.tag();
        if (!tag || !tag->contains(mp4CoverName()))
            return false;
        const TagLib::MP4::CoverArtList covers = tag->item(mp4CoverName()).toCoverArtList();
        if (covers.isEmpty())
            return false;
        bytes = covers.front().data();
        return true;
    }
    static bool write(TagLib::MP4::File &file, const TagLib::ByteVector &bytes)
    {
        TagLib::MP4::Tag *tag = file.tag();
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
};

// APE tags: the binary item "Cover Art (Front)", a file name, a NUL and the image.
// -----------------------------------------------------------------------------------------------

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

struct ApeCovers
{
    template<class F> static bool read(F &file, TagLib::ByteVector &bytes)
    {
        const TagLib::ByteVector item = apeCoverItem(file.APETag(false));
        const int nul = item.find('\0');
        if (nul < 0)
            return false;
        bytes = item.mid(static_cast<unsigned int>(nul) + 1);
        return true;
    }
    template<class F> static bool write(F &file, const TagLib::ByteVector &bytes)
    {
        TagLib::APE::Tag *tag = file.APETag(true);
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
};

struct NoCovers
{
    static bool read(TagLib::File &, TagLib::ByteVector &) { return false; }
    static bool write(TagLib::File &, const TagLib::ByteVector &) { return true; }
};

// Saving without adding or converting tags.
// -----------------------------------------------------------------------------------------------

bool hasPictures(const TagLib::ID3v2::Tag *tag)
{
    return tag && !tag->frameListMap()["APIC"].isEmpty();
}

template<class F> bool saveKeepingTags(F &file)
{
    return file.save(); // TagLib writes only the tags these files have, plus their main one
}

// TagLib's plain save writes ID3v2.4 and adds an ID3v1 copy: here the ID3v2 tag keeps its
// version, and ID3v1 and APE tags are written only where the file has them.
bool saveKeepingTags(TagLib::MPEG::File &file)
{
    int tags = TagLib::MPEG::File::ID3v2;
    if (file.hasID3v1Tag())
        tags |= TagLib::MPEG::File::ID3v1;
    if (file.hasAPETag())
        tags |= TagLib::MPEG::File::APE;
    // A new ID3v2 tag starts from the ID3v1 tag, so that readers of ID3v2 alone lose nothing.
    if (!file.hasID3v2Tag() && file.hasID3v1Tag())
        TagLib::Tag::duplicate(file.ID3v1Tag(), file.ID3v2Tag(true), false);
    return file.save(tags, TagLib::File::StripNone, versionOf(file.ID3v2Tag(), file.hasID3v2Tag()),
                     TagLib::File::DoNotDuplicate);
}

// The tags the file has (and ID3v2 where it now holds a cover); a file without either gets
// TagLib's default, both.
bool saveKeepingTags(TagLib::RIFF::WAV::File &file)
{
    using WAV = TagLib::RIFF::WAV::File;
    const bool id3v2 = file.hasID3v2Tag() || hasPictures(file.ID3v2Tag());
    const bool info = file.hasInfoTag();
    if (!id3v2 && !info)
        return file.save();
    const int tags = (id3v2 ? WAV::ID3v2 : WAV::NoTags) | (info ? WAV::Info : WAV::NoTags);
    return file.save(static_cast<WAV::TagTypes>(tags), TagLib::File::StripNone,
                     versionOf(file.ID3v2Tag(), file.hasID3v2Tag()));
}

bool saveKeepingTags(TagLib::RIFF::AIFF::File &file)
{
    return file.save(versionOf(file.tag(), file.hasID3v2Tag()));
}

// Saving must not reorder the pictures (which one is the first front cover depends on it).
bool saveKeepingTags(TagLib::ASF::File &file)
{
    TagLib::ASF::Tag *tag = file.tag();
    const TagLib::ASF::AttributeList pictures = tag->attribute(asfPictureName());
    if (pictures.size() > 1)
        tag->setAttribute(asfPictureName(), asfSavingOrder(&file, pictures));
    return file.save();
}

// The tags behind the generic one.
// -----------------------------------------------------------------------------------------------

FileTags fileTags(TagLib::File &)
{
    return FileTags();
}
FileTags fileTags(TagLib::MPEG::File &file)
{
    FileTags tags;
    tags.id3v2 = file.ID3v2Tag(false);
    tags.ape = file.APETag(false);
    return tags;
}
FileTags fileTags(TagLib::RIFF::AIFF::File &file)
{
    FileTags tags;
    tags.id3v2 = file.tag();
    return tags;
}
FileTags fileTags(TagLib::RIFF::WAV::File &file)
{
    FileTags tags;
    tags.id3v2 = file.ID3v2Tag();
    tags.info = file.InfoTag();
    return tags;
}
FileTags fileTags(TagLib::TrueAudio::File &file)
{
    FileTags tags;
    tags.id3v2 = file.ID3v2Tag(false);
    return tags;
}
FileTags fileTags(TagLib::FLAC::File &file)
{
    FileTags tags;
    tags.xiph = file.xiphComment(false);
    tags.id3v2 = file.ID3v2Tag(false);
    return tags;
}
FileTags fileTags(TagLib::Ogg::File &file)
{
    FileTags tags;
    tags.xiph = dynamic_cast<TagLib::Ogg::XiphComment *>(file.tag());
    return tags;
}
FileTags fileTags(TagLib::MP4::File &file)
{
    FileTags tags;
    tags.mp4 = file.tag();
    return tags;
}
FileTags fileTags(TagLib::ASF::File &file)
{
    FileTags tags;
    tags.asf = file.tag();
    return tags;
}
template<class F> FileTags apeFileTags(F &file)
{
    FileTags tags;
    tags.ape = file.APETag(false);
    return tags;
}
FileTags fileTags(TagLib::APE::File &file)
{
    return apeFileTags(file);
}
FileTags fileTags(TagLib::WavPack::File &file)
{
    return apeFileTags(file);
}
FileTags fileTags(TagLib::MPC::File &file)
{
    return apeFileTags(file);
}

// Recognising content.
// -----------------------------------------------------------------------------------------------

template<class F> bool recognisesContent(TagLib::IOStream &content)
{
    return F::isSupported(&content);
}

// Tracker modules have no such test; TagLib checks their signatures as it opens them.
template<> bool recognisesContent<TagLib::Mod::FileBase>(TagLib::IOStream &)
{
    return true;
}

// The table.
// -----------------------------------------------------------------------------------------------

enum CoverFormat {
    NoCoverFormat,
    Id3v2Format,
    AsfFormat,
    FlacFormat,
    XiphFormat,
    Mp4Format,
    ApeFormat
};

template<class F, class Covers, CoverFormat format> class Kind final : public FileKind
{
public:
    // rows: the extensions of this class's rows of filekinds.def, each a list split by spaces.
    explicit Kind(std::initializer_list<std::string_view> rows)
    {
        for (std::string_view row : rows) {
            while (!row.empty()) {
                const std::size_t end = std::min(row.find(' '), row.size());
                if (end > 0)
                    m_extensions.push_back(row.substr(0, end));
                row.remove_prefix(std::min(end + 1, row.size()));
            }
        }
    }

    bool isNamedBy(const std::wstring &extension) const override
    {
        const auto sameLetters = [](wchar_t a, char b) {
            return a < 0x80 && std::tolower(static_cast<int>(a)) == b;
        };
        return std::any_of(m_extensions.begin(), m_extensions.end(), [&](std::string_view known) {
            return known.size() == extension.size()
                    && std::equal(extension.begin(), extension.end(), known.begin(), sameLetters);
        });
    }

    bool isKindOf(const TagLib::File &file) const override
    {
        return dynamic_cast<const F *>(&file) != nullptr;
    }
    bool recognises(TagLib::IOStream &content) const override
    {
        const bool recognised = recognisesContent<F>(content);
        content.seek(0);
        return recognised;
    }
    bool readCover(TagLib::File &file, TagLib::ByteVector &bytes) const override
    {
        auto *own = dynamic_cast<F *>(&file);
        return own && Covers::read(*own, bytes);
    }
    bool writeCover(TagLib::File &file, const TagLib::ByteVector &bytes) const override
    {
        auto *own = dynamic_cast<F *>(&file);
        return own && Covers::write(*own, bytes);
    }
    FileTags tagsOf(TagLib::File &file) const override
    {
        auto *own = dynamic_cast<F *>(&file);
        return own ? fileTags(*own) : FileTags();
    }
    bool save(TagLib::File &file) const override
    {
        auto *own = dynamic_cast<F *>(&file);
        return own ? saveKeepingTags(*own) : file.save();
    }
    int coverFormat() const override { return format; }

private:
    std::vector<std::string_view> m_extensions;
};

// The extensions of each row of filekinds.def, from which the build also makes every other list
// of the files the library opens.
#define QUILLET_FILE_NAMES(name, taglib, extensions, mediaTypes)                                   \
    [[maybe_unused]] constexpr std::string_view name##Names = extensions;
#include "filekinds.def"
#undef QUILLET_FILE_NAMES

namespace T = TagLib;

// Every file class TagLib has, with the extensions TagLib opens it by.
const auto mpeg = Kind<T::MPEG::File, Id3v2Covers, Id3v2Format>({mpegNames, mp2Names, aacNames});
const auto aiff = Kind<T::RIFF::AIFF::File, Id3v2Covers, Id3v2Format>({aiffNames});
const auto wav = Kind<T::RIFF::WAV::File, Id3v2Covers, Id3v2Format>({wavNames});
const auto trueAudio = Kind<T::TrueAudio::File, Id3v2Covers, Id3v2Format>({trueAudioNames});
const auto asf = Kind<T::ASF::File, AsfCovers, AsfFormat>({asfNames});
const auto flac = Kind<T::FLAC::File, FlacCovers, FlacFormat>({flacNames});
const auto vorbis = Kind<T::Ogg::Vorbis::File, XiphCovers, XiphFormat>({vorbisNames});
// .oga is tried as Ogg FLAC first; Ogg FLAC under any other name is found by its content.
const auto oggFlac = Kind<T::Ogg::FLAC::File, XiphCovers, XiphFormat>({oggFlacNames});
const auto speex = Kind<T::Ogg::Speex::File, XiphCovers, XiphFormat>({speexNames});
const auto opus = Kind<T::Ogg::Opus::File, XiphCovers, XiphFormat>({opusNames});
const auto mp4 = Kind<T::MP4::File, Mp4Covers, Mp4Format>({mp4Names});
const auto ape = Kind<T::APE::File, ApeCovers, ApeFormat>({apeNames});
const auto wavPack = Kind<T::WavPack::File, ApeCovers, ApeFormat>({wavPackNames});
const auto musepack = Kind<T::MPC::File, ApeCovers, ApeFormat>({musepackNames});
const auto modules
        = Kind<T::Mod::FileBase, NoCovers, NoCoverFormat>({modNames, s3mNames, itNames, xmNames});
#if TAGLIB_MAJOR_VERSION >= 2
// DSD audio: fields and report; the pictures of its ID3v2 tag are not handled.
const auto dsf = Kind<T::DSF::File, NoCovers, NoCoverFormat>({dsfNames});
const auto dsdiff = Kind<T::DSDIFF::File, NoCovers, NoCoverFormat>({dsdiffNames});
#endif

template<class Visit> const FileKind *findKind(Visit matches)
{
    for (const FileKind *kind : std::initializer_list<const FileKind *> {
             &mpeg, &aiff, &wav, &trueAudio, &asf, &flac, &vorbis, &oggFlac, &speex, &opus, &mp4,
                     &ape, &wavPack, &musepack, &modules,
#if TAGLIB_MAJOR_VERSION >= 2
                     &dsf, &dsdiff,
#endif
         }) {
        if (matches(*kind))
            return kind;
    }
    return nullptr;
}

} // namespace

const FileKind *kindOfFile(const TagLib::File &file)
{
    return findKind([&file](const FileKind &kind) { return kind.isKindOf(file); });
}

FileTags tagsOfFile(TagLib::File &file)
{
    const FileKind *kind = kindOfFile(file);
    return kind ? kind->tagsOf(file) : FileTags();
}

const FileKind *coverKindOf(const std::wstring &path, const TagLib::File &file)
{
    const FileKind *opened = kindOfFile(file);
    if (!opened || opened->coverFormat() == NoCoverFormat)
        return nullptr;
    const std::wstring extension = extensionOf(path);
    const FileKind *named
            = findKind([&extension](const FileKind &kind) { return kind.isNamedBy(extension); });
    return named && named->coverFormat() == opened->coverFormat() ? opened : nullptr;
}

} // namespace quillet
