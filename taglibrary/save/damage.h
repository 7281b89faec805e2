// Whether a file is cut short inside its tag. TagLib reads such a tag as far as the file goes
// and, on saving, writes back only what it read: whatever lay in the cut tag, and in a FLAC or
// Ogg file everything after it, would be lost. Such a file is not saved at all.
#ifndef QUILLET_SAVE_DAMAGE_H
#define QUILLET_SAVE_DAMAGE_H

namespace quillet {

// Looks at the structure that holds the tags, by the content's own signature: an ID3v2 tag at
// the start, FLAC metadata blocks, the header packets of an Ogg stream, the atoms of an MP4
// file other than its media data, the header of an ASF file, the chunks of a RIFF or AIFF file
// other than its audio. True when one of them reaches past the end of the file (size bytes,
// read through fd).
bool endsInsideTag(int fd, long long size);

} // namespace quillet

#endif // QUILLET_SAVE_DAMAGE_H
