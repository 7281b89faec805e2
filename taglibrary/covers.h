// The front cover of an open file, one lookup per container that carries pictures.
#ifndef QUILLET_COVERS_H
#define QUILLET_COVERS_H

namespace TagLib {
class File;
namespace ID3v2 {
class AttachedPictureFrame;
}
namespace ASF {
class Picture;
}
namespace FLAC {
class Picture;
}
} // namespace TagLib

namespace quillet {

// First "APIC" frame of type front cover, else the last "APIC" frame; null without one or
// when file is not an MPEG file. The frame belongs to the file's ID3v2 tag.
TagLib::ID3v2::AttachedPictureFrame *findMpegCoverFrame(TagLib::File *file);

// A copy of the first "WM/Picture" of type front cover, or null; also null when the file's tag
// is not an ASF tag. The caller deletes the copy.
TagLib::ASF::Picture *findAsfCoverPicture(TagLib::File *file);

// Index of that same attribute in the tag's "WM/Picture" list, or -1.
int findAsfCoverIndex(TagLib::File *file);

// First picture of type front cover, or null; null too when file is not a FLAC file. The
// picture belongs to the file.
TagLib::FLAC::Picture *findFlacCoverPicture(TagLib::File *file);

} // namespace quillet

#endif // QUILLET_COVERS_H
