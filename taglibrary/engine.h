// The engine under both of the library's interfaces: every item of a file's tags read at once,
// and a change set written through the one save path (journal, in place, locks, damage check).
// readTag and saveTag are views of it (the seven fields and the front cover); the C interface
// (quilletc.h) hands it to other programs. Nothing here throws: failures are results, with errno
// saying why, as quillet.h documents.
//
// Text is UTF-8 throughout; keys are TagLib's property keys, upper case ("ALBUMARTIST",
// "MUSICBRAINZ_ALBUMID", free-form ones as the file names them). A file's name is a wide
// string as readTag takes it (quillet.h: bytes that are not UTF-8 as U+DC80..U+DCFF).
#ifndef QUILLET_ENGINE_H
#define QUILLET_ENGINE_H

#include <string>
#include <utility>
#include <vector>

namespace quillet {

// One key and its values, in the file's order.
struct Property
{
    std::string key;
    std::vector<std::string> values;
};

// ID3v2's picture types (APIC), which every format's pictures are mapped onto; 0 "other" where a
// format has no types (MP4: the first picture counts as the front cover).
enum class PictureType : int {
    Other = 0,
    FileIcon = 1,
    OtherFileIcon = 2,
    FrontCover = 3,
    BackCover = 4,
    LeafletPage = 5,
    Media = 6,
    LeadArtist = 7,
    Artist = 8,
    Conductor = 9,
    Band = 10,
    Composer = 11,
    Lyricist = 12,
    RecordingLocation = 13,
    DuringRecording = 14,
    DuringPerformance = 15,
    MovieScreenCapture = 16,
    ColouredFish = 17,
    Illustration = 18,
    BandLogo = 19,
    PublisherLogo = 20,
};

struct Picture
{
    PictureType type = PictureType::Other;
    std::string mime; // "image/jpeg"; from the bytes where the file gives none
    std::string description;
    std::string data; // the encoded image, byte for byte
    int width = 0; // from the image's header where the file gives none; 0 when unknown
    int height = 0;
};

struct AudioInfo
{
    bool present = false; // false: TagLib gave no audio properties
    long long lengthMs = 0;
    int bitrate = 0; // kbit/s
    int sampleRate = 0; // Hz
    int channels = 0;
    int bitsPerSample = 0; // 0 where the format does not say
    std::string format; // the kind's name: "MP3", "FLAC", "Ogg Vorbis", "Opus", "MP4", ...
};

// Everything read from one file.
struct FullTag
{
    std::vector<Property> properties; // TagLib's property map, in its order
    std::vector<std::string> unsupported; // items kept but not expressible as properties
    std::vector<Picture> pictures; // in the file's order
    AudioInfo audio;
};

// What a save changes; everything it does not name stays as the file has it at the moment of
// the save.
struct ChangeSet
{
    // Sets a key to these values (one or more), replacing all values it had. TRACKNUMBER and
    // DISCNUMBER take "n", "n/N" or "/N"; "n" alone keeps the file's total.
    std::vector<Property> set;
    // Keys removed with all their values.
    std::vector<std::string> remove;

    struct PictureChange
    {
        enum class Action { Put, Remove };
        Action action = Action::Put;
        PictureType type = PictureType::FrontCover;
        // Remove: true removes only pictures of this type with this description.
        // Put: the picture replaces those of its type (and description, when matchDescription)
        // or is added when there is none.
        bool matchDescription = false;
        std::string description;
        Picture picture; // Put only; type and description are taken from above
    };
    std::vector<PictureChange> pictures;

    bool empty() const { return set.empty() && remove.empty() && pictures.empty(); }
};

// Reads every item of the file; false, with errno set (quillet.h), when it cannot be read.
bool readFull(const std::wstring &path, FullTag &tag);

// Writes the change set through the safe save; false, with errno set and the file byte for byte
// as it was, on any failure. An empty change set succeeds without writing.
bool saveChanges(const std::wstring &path, const ChangeSet &changes);

} // namespace quillet

#endif // QUILLET_ENGINE_H
