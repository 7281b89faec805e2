// The one table of the kinds of file the library knows. For each TagLib file class it says how
// the class recognises its content, how the front cover is found and written, and how the file is
// saved without adding a tag type it lacks or converting one it has. Adding a format is adding
// one entry in formats.cpp.
#ifndef QUILLET_FORMATS_H
#define QUILLET_FORMATS_H

#include <string>

namespace TagLib {
class ByteVector;
class File;
class IOStream;
namespace APE {
class Tag;
}
namespace ASF {
class Tag;
}
namespace ID3v2 {
class Tag;
}
namespace MP4 {
class Tag;
}
namespace Ogg {
class XiphComment;
}
namespace RIFF::Info {
class Tag;
}
} // namespace TagLib

namespace quillet {

// The tags of an open file that hold more than TagLib's generic setters keep, each where the
// file's generic tag reads and writes it; null where the file has none of that type.
struct FileTags
{
    TagLib::ID3v2::Tag *id3v2 = nullptr;
    TagLib::APE::Tag *ape = nullptr;
    TagLib::Ogg::XiphComment *xiph = nullptr;
    TagLib::MP4::Tag *mp4 = nullptr;
    TagLib::ASF::Tag *asf = nullptr;
    TagLib::RIFF::Info::Tag *info = nullptr;
};

// The ways tags keep pictures (FileKind::coverFormat).
enum CoverFormat {
    NoCoverFormat,
    Id3v2Format,
    AsfFormat,
    FlacFormat,
    XiphFormat,
    Mp4Format,
    ApeFormat
};

class FileKind
{
public:
    virtual ~FileKind() = default;

    // True when extension (in any case) is one TagLib opens this kind by.
    virtual bool isNamedBy(const std::wstring &extension) const = 0;
    // True when TagLib opened file as this kind's class.
    virtual bool isKindOf(const TagLib::File &file) const = 0;
    // True when content holds this kind, as TagLib's class for it recognises it.
    virtual bool recognises(TagLib::IOStream &content) const = 0;
    // The front cover of file, opened as this kind; false when it has none.
    virtual bool readCover(TagLib::File &file, TagLib::ByteVector &bytes) const = 0;
    // Makes bytes the front cover of file in memory; false when the file cannot hold them.
    virtual bool writeCover(TagLib::File &file, const TagLib::ByteVector &bytes) const = 0;
    // The tags of file, opened as this kind.
    virtual FileTags tagsOf(TagLib::File &file) const = 0;
    // Writes file with the tag types it has, each in its own version.
    virtual bool save(TagLib::File &file) const = 0;
    // Files whose tags keep pictures the same way share a value; 0: no covers.
    virtual int coverFormat() const = 0;
    // The name of file's audio format ("MP3", "FLAC", "Ogg Vorbis"), file opened as this kind.
    virtual const char *formatName(const TagLib::File &file) const = 0;
};

// The kind of the class TagLib opened file as, or null for a class not in the table.
const FileKind *kindOfFile(const TagLib::File &file);

// The tags of file by its kind; none for a class not in the table.
FileTags tagsOfFile(TagLib::File &file);

// The kind whose cover rules apply to file: that of the opened file, where the extension of path
// (the text after its last ".", in any case) names a kind that keeps covers the same way. Null
// otherwise: a file of another kind than its name says gets no cover.
// opened: kindOfFile(file) where the caller has it.
const FileKind *coverKindOf(const std::wstring &path, const TagLib::File &file);
const FileKind *coverKindOf(const std::wstring &path, const FileKind *opened);

} // namespace quillet

#endif // QUILLET_FORMATS_H
