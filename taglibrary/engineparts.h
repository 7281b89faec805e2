// The engine's pieces that readTag and saveTag share with readFull and saveChanges: one way to
// open a file for reading, one save path, and the pictures of every format.
#ifndef QUILLET_ENGINEPARTS_H
#define QUILLET_ENGINEPARTS_H

#include "engine.h"

#include <functional>
#include <string>
#include <vector>

namespace TagLib {
class File;
class FileRef;
class PropertyMap;
} // namespace TagLib

namespace quillet {

class FileKind;
struct FileTags;

// Opens path for reading as both interfaces do (a save cut off is undone first) and hands the
// open file to use; false, with errno saying why, when it cannot be opened as audio.
bool readOpened(const std::wstring &path, const std::function<bool(TagLib::FileRef &ref)> &use);

// Changes a file in memory; false, with errno set, when it must not be saved. kind is the
// file's row of the table (null for a class the table lacks).
using TagEditor = std::function<bool(TagLib::File &file, const FileKind *kind)>;

// The one save path: opens path through the safe save, checks that the content is the kind
// TagLib opened it as, lets edit change it and saves it with the tag types it has.
// keepAdded: a tag type the edit filled in that the file lacked (ID3v2 beside a WAV file's INFO)
// is written too.
bool saveEdited(const std::wstring &path, const TagEditor &edit, bool keepAdded = false);

// Every picture of file in the file's order, where its name's kind keeps pictures (coverKindOf).
// kind: the file's kind (kindOfFile).
std::vector<Picture> picturesOf(TagLib::File &file, const std::wstring &path, const FileKind *kind);
// Applies the picture changes in memory; false with errno (EFBIG: more than the tag can hold,
// EINVAL: a file that keeps no pictures).
bool changePictures(TagLib::File &file, const std::wstring &path,
                    const std::vector<ChangeSet::PictureChange> &changes);

// Sets (or, values empty, removes) one key in every tag of file that holds properties; false
// with errno EINVAL where a tag cannot take the key.
bool applyProperty(TagLib::File &file, const std::string &key,
                   const std::vector<std::string> &values);
// An ASF file's further values of its content description's fields (title, artist, copyright,
// comment), appended to the field's key in map.
void joinAsfFields(const FileTags &tags, TagLib::PropertyMap &map);

// A WAV file's ID3v2 tag that the edit made (for a picture) gets what its INFO holds too, and
// the keys set: TagLib reads a WAV file's properties from the first of its tags that holds any.
void fillNewWavId3v2(TagLib::File &file, const std::vector<Property> &set);

// The names map lists as unsupported, in unsupported; but free-form items (MP4
// "----:com.apple.iTunes:" items, ASF attributes of other names, which TagLib 1 lists so) as
// properties named as TagLib 2 names them.
void addFreeForm(const FileTags &tags, const TagLib::PropertyMap &map,
                 std::vector<Property> &properties, std::vector<std::string> &unsupported);

} // namespace quillet

#endif // QUILLET_ENGINEPARTS_H
