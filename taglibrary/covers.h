// The front cover of an open file, one lookup per way that tags hold pictures.
#ifndef QUILLET_COVERS_H
#define QUILLET_COVERS_H

#include <taglib/tlist.h>

namespace TagLib {
class File;
namespace ID3v2 {
class AttachedPictureFrame;
class Tag;
} // namespace ID3v2
namespace ASF {
class Picture;
}
namespace FLAC {
class Picture;
}
} // namespace TagLib

namespace quillet {

// First "APIC" frame of type front cover, else the last "APIC" frame; null without one: the
// picture the editor shows. The frame belongs to the tag.
TagLib::ID3v2::AttachedPictureFrame *findId3v2CoverFrame(const TagLib::ID3v2::Tag *tag);

// The first "APIC" frame of type front cover alone, or null: the frame a new cover replaces.
TagLib::ID3v2::AttachedPictureFrame *findId3v2FrontCoverFrame(const TagLib::ID3v2::Tag *tag);

// findId3v2CoverFrame in the ID3v2 tag of an MPEG file; null when file is not an MPEG file or has
// no such tag (none is created).
TagLib::ID3v2::AttachedPictureFrame *findMpegCoverFrame(TagLib::File *file);

// A copy of the first "WM/Picture" of type front cover, or null; also null when the file's tag
// is not an ASF tag. The caller deletes the copy.
TagLib::ASF::Picture *findAsfCoverPicture(TagLib::File *file);

// Index of that same attribute in the tag's "WM/Picture" list, or -1.
int findAsfCoverIndex(TagLib::File *file);

// First picture of type front cover in a list of FLAC pictures (a FLAC file's, or a Xiph
// comment's METADATA_BLOCK_PICTURE), or null.
TagLib::FLAC::Picture *findFrontCover(const TagLib::List<TagLib::FLAC::Picture *> &pictures);

// findFrontCover over a FLAC file's pictures; null too when file is not a FLAC file. The
// picture belongs to the file.
TagLib::FLAC::Picture *findFlacCoverPicture(TagLib::File *file);

} // namespace quillet

#endif // QUILLET_COVERS_H
