// The front cover, one way per way that tags hold pictures: found, read and written. formats.cpp
// says which way each kind of file takes.
#ifndef QUILLET_COVERS_H
#define QUILLET_COVERS_H

namespace TagLib {
class ByteVector;
class String;
namespace ID3v2 {
class Tag;
}
namespace ASF {
class File;
}
namespace FLAC {
class File;
}
namespace Ogg {
class XiphComment;
}
namespace MP4 {
class Tag;
}
namespace APE {
class Tag;
}
} // namespace TagLib

namespace quillet {

// Each read gives the cover's bytes and true, or false where there is none; each write makes
// bytes the front cover in memory, false where the tag cannot hold them. A null tag has no cover
// and takes none.

// ID3v2 "APIC" frames. The cover read is the first front cover, else the last picture (the one
// the editor shows); the one written over is the first front cover alone, else one is added
// beside the other pictures.
bool readId3v2Cover(const TagLib::ID3v2::Tag *tag, TagLib::ByteVector &bytes);
bool writeId3v2Cover(TagLib::ID3v2::Tag *tag, const TagLib::ByteVector &bytes);
// True when the tag holds any "APIC" frame.
bool hasId3v2Pictures(const TagLib::ID3v2::Tag *tag);

// ASF "WM/Picture" attributes, the first of type front cover.
bool readAsfCover(TagLib::ASF::File &file, TagLib::ByteVector &bytes);
bool writeAsfCover(TagLib::ASF::File &file, const TagLib::ByteVector &bytes);
const TagLib::String &asfPictureName();

// FLAC pictures of type front cover: a FLAC file's picture blocks, and a Xiph comment's
// METADATA_BLOCK_PICTURE. inFlacBlock: the comment is itself a FLAC metadata block (Ogg FLAC).
bool readFlacCover(TagLib::FLAC::File &file, TagLib::ByteVector &bytes);
bool writeFlacCover(TagLib::FLAC::File &file, const TagLib::ByteVector &bytes);
bool readXiphCover(TagLib::Ogg::XiphComment *comment, TagLib::ByteVector &bytes);
bool writeXiphCover(TagLib::Ogg::XiphComment *comment, const TagLib::ByteVector &bytes,
                    bool inFlacBlock);

// The MP4 "covr" item, a list of images without picture types: the first is the cover.
bool readMp4Cover(const TagLib::MP4::Tag *tag, TagLib::ByteVector &bytes);
bool writeMp4Cover(TagLib::MP4::Tag *tag, const TagLib::ByteVector &bytes);

// The APE binary item "Cover Art (Front)": a file name, a NUL and the image.
bool readApeCover(const TagLib::APE::Tag *tag, TagLib::ByteVector &bytes);
bool writeApeCover(TagLib::APE::Tag *tag, const TagLib::ByteVector &bytes);

} // namespace quillet

#endif // QUILLET_COVERS_H
