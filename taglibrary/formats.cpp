#include "formats.h"

#include "asforder.h"
#include "covers.h"
#include "textconv.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <vector>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/itfile.h>
#include <taglib/modfile.h>
#include <taglib/modfilebase.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/s3mfile.h>
#include <taglib/speexfile.h>
#include <taglib/taglib.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>
#include <taglib/xmfile.h>
#if TAGLIB_MAJOR_VERSION >= 2
#    include <taglib/dsdifffile.h>
#    include <taglib/dsffile.h>
#endif

namespace quillet {

namespace {

// Covers: which tag of each class holds them, and in which of covers.h's ways.
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

// ID3v2: in MPEG files, and inside AIFF, WAV and TrueAudio containers.
struct Id3v2Covers
{
    template<class F> static bool read(F &file, TagLib::ByteVector &bytes)
    {
        return readId3v2Cover(id3v2TagOf(file, false), bytes);
    }
    template<class F> static bool write(F &file, const TagLib::ByteVector &bytes)
    {
        TagLib::ID3v2::Tag *tag = id3v2TagOf(file, false);
        return writeId3v2Cover(tag ? tag : id3v2TagOf(file, true), bytes);
    }
};

struct AsfCovers
{
    static bool read(TagLib::ASF::File &file, TagLib::ByteVector &bytes)
    {
        return readAsfCover(file, bytes);
    }
    static bool write(TagLib::ASF::File &file, const TagLib::ByteVector &bytes)
    {
        return writeAsfCover(file, bytes);
    }
};

struct FlacCovers
{
    static bool read(TagLib::FLAC::File &file, TagLib::ByteVector &bytes)
    {
        return readFlacCover(file, bytes);
    }
    static bool write(TagLib::FLAC::File &file, const TagLib::ByteVector &bytes)
    {
        return writeFlacCover(file, bytes);
    }
};

// Ogg files; in Ogg FLAC the comment is itself a FLAC metadata block.
struct XiphCovers
{
    template<class F> static bool read(F &file, TagLib::ByteVector &bytes)
    {
        return readXiphCover(file.tag(), bytes);
    }
    template<class F> static bool write(F &file, const TagLib::ByteVector &bytes)
    {
        return writeXiphCover(file.tag(), bytes, std::is_same_v<F, TagLib::Ogg::FLAC::File>);
    }
};

struct Mp4Covers
{
    static bool read(TagLib::MP4::File &file, TagLib::ByteVector &bytes)
    {
        return readMp4Cover(file.tag(), bytes);
    }
    static bool write(TagLib::MP4::File &file, const TagLib::ByteVector &bytes)
    {
        return writeMp4Cover(file.tag(), bytes);
    }
};

// Monkey's Audio, WavPack and Musepack.
struct ApeCovers
{
    template<class F> static bool read(F &file, TagLib::ByteVector &bytes)
    {
        return readApeCover(file.APETag(false), bytes);
    }
    template<class F> static bool write(F &file, const TagLib::ByteVector &bytes)
    {
        return writeApeCover(file.APETag(true), bytes);
    }
};

struct NoCovers
{
    static bool read(TagLib::File &, TagLib::ByteVector &) { return false; }
    static bool write(TagLib::File &, const TagLib::ByteVector &) { return true; }
};

// TagLib writes ID3v2.4 unless told otherwise: a tag stays in the version it has. TagLib cannot
// write 2.2, so that one becomes 2.4, as does a new tag.
TagLib::ID3v2::Version versionOf(const TagLib::ID3v2::Tag *tag, bool present)
{
    return present && tag && tag->header()->majorVersion() == 3 ? TagLib::ID3v2::v3
                                                                : TagLib::ID3v2::v4;
}

// Saving without adding or converting tags.
// -----------------------------------------------------------------------------------------------

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
    const bool id3v2 = file.hasID3v2Tag() || hasId3v2Pictures(file.ID3v2Tag());
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

// Saving must not reorder the values of any attribute: the pictures (which one is the first
// front cover depends on it), artist ids, ... Each list as read, or as set, is the one to keep.
bool saveKeepingTags(TagLib::ASF::File &file)
{
    TagLib::ASF::Tag *tag = file.tag();
    const TagLib::ASF::AttributeListMap lists = tag->attributeListMap();
    for (const auto &[name, values] : lists) {
        if (values.size() > 1)
            tag->setAttribute(name, asfSavingOrder(&file, values));
    }
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

// Which of a kind's rows of filekinds.def names the format of an opened file: the first, but for
// the classes that open several formats.
std::size_t formatRow(const TagLib::File &)
{
    return 0;
}
// MPEG: MP3 (and layer I), MP2, and ADTS AAC, whose header has no layer.
std::size_t formatRow(const TagLib::MPEG::File &file)
{
    const auto *audio = file.audioProperties();
    const int layer = audio ? audio->layer() : 3;
    return layer == 2 ? 1 : layer == 0 ? 2 : 0;
}
std::size_t formatRow(const TagLib::Mod::FileBase &file)
{
    if (dynamic_cast<const TagLib::S3M::File *>(&file))
        return 1;
    if (dynamic_cast<const TagLib::IT::File *>(&file))
        return 2;
    return dynamic_cast<const TagLib::XM::File *>(&file) ? 3 : 0;
}

struct Row
{
    std::string_view extensions;
    const char *format;
};

template<class F, class Covers, CoverFormat format> class Kind final : public FileKind
{
public:
    // rows: this class's rows of filekinds.def, their extensions each a list split by spaces.
    explicit Kind(std::initializer_list<Row> rows)
    {
        for (const Row &each : rows) {
            m_formats.push_back(each.format);
            std::string_view row = each.extensions;
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
    const char *formatName(const TagLib::File &file) const override
    {
        const auto *own = dynamic_cast<const F *>(&file);
        const std::size_t row = own ? formatRow(*own) : 0;
        return m_formats[row < m_formats.size() ? row : 0];
    }

private:
    std::vector<std::string_view> m_extensions;
    std::vector<const char *> m_formats;
};

// The extensions and format of each row of filekinds.def, from which the build also makes every
// other list of the files the library opens.
#define QUILLET_FILE_NAMES(name, taglib, extensions, mediaTypes)                                   \
    [[maybe_unused]] constexpr std::string_view name##Extensions = extensions;
#define QUILLET_FILE_FORMAT(name, format)                                                          \
    [[maybe_unused]] constexpr Row name##Names = {name##Extensions, format};
#include "filekinds.def"
#undef QUILLET_FILE_FORMAT
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
    return coverKindOf(path, kindOfFile(file));
}

const FileKind *coverKindOf(const std::wstring &path, const FileKind *opened)
{
    if (!opened || opened->coverFormat() == NoCoverFormat)
        return nullptr;
    const std::wstring extension = extensionOf(path);
    const FileKind *named
            = findKind([&extension](const FileKind &kind) { return kind.isNamedBy(extension); });
    return named && named->coverFormat() == opened->coverFormat() ? opened : nullptr;
}

} // namespace quillet
