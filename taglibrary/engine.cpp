#include "engine.h"

#include "engineparts.h"
#include "errors.h"
#include "formats.h"
#include "nativepath.h"
#include "quillet.h"
#include "safesave.h"
#include "save/check.h"
#ifndef _WIN32
#    include "save/fileview.h"
#endif
#include "save/readsource.h"
#include "taglibcompat.h"
#include "textconv.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

#include <taglib/aiffproperties.h>
#include <taglib/apeproperties.h>
#include <taglib/asfproperties.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/flacproperties.h>
#include <taglib/mp4properties.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudioproperties.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackproperties.h>
#include <taglib/wavproperties.h>
#if TAGLIB_MAJOR_VERSION >= 2
#    include <taglib/dsdiffproperties.h>
#    include <taglib/dsfproperties.h>
#endif

namespace quillet {

namespace {

// Why a regular file gave TagLib nothing: it cannot be opened, or it is no audio TagLib knows.
bool explainUnread(const NativePath &path)
{
#ifdef _WIN32
    FILE *file = _wfopen(path.native().c_str(), L"rb");
#else
    FILE *file = std::fopen(path.native().c_str(), "rb");
#endif
    if (!file)
        return false; // errno from the system
    std::fclose(file);
    return failWith(QUILLET_ENOTAUDIO);
}

template<class P> bool bitsOf(const TagLib::AudioProperties &audio, int &bits)
{
    const auto *own = dynamic_cast<const P *>(&audio);
    if (own)
        bits = own->bitsPerSample();
    return own;
}

// Bits per sample, for the formats whose properties state them.
int bitsPerSample(const TagLib::AudioProperties &audio)
{
    namespace T = TagLib;
    int bits = 0;
    (void)(bitsOf<T::FLAC::Properties>(audio, bits) || bitsOf<T::RIFF::WAV::Properties>(audio, bits)
           || bitsOf<T::RIFF::AIFF::Properties>(audio, bits)
           || bitsOf<T::APE::Properties>(audio, bits) || bitsOf<T::WavPack::Properties>(audio, bits)
           || bitsOf<T::TrueAudio::Properties>(audio, bits)
           || bitsOf<T::MP4::Properties>(audio, bits) || bitsOf<T::ASF::Properties>(audio, bits)
#if TAGLIB_MAJOR_VERSION >= 2
           || bitsOf<T::DSF::Properties>(audio, bits) || bitsOf<T::DSDIFF::Properties>(audio, bits)
#endif
    );
    return bits;
}

AudioInfo audioOf(TagLib::FileRef &ref, const FileKind *kind)
{
    AudioInfo info;
    const TagLib::AudioProperties *audio = ref.audioProperties();
    if (kind)
        info.format = kind->formatName(*ref.file());
    if (!audio)
        return info;
    info.present = true;
    info.lengthMs = audio->lengthInMilliseconds();
    info.bitrate = audio->bitrate();
    info.sampleRate = audio->sampleRate();
    info.channels = audio->channels();
    info.bitsPerSample = bitsPerSample(*audio);
    return info;
}

// Xiph comments keep a total beside the number (TRACKTOTAL, or TOTALTRACKS): read as "n/N", the
// way every other format gives it.
void joinTotal(TagLib::PropertyMap &map, const char *number, const char *total, const char *other)
{
    const auto found = map.find(number);
    if (found == map.end() || found->second.isEmpty() || found->second.front().find("/") >= 0)
        return;
    for (const char *key : {total, other}) {
        const auto totals = map.find(key);
        if (totals != map.end() && !totals->second.isEmpty()) {
            found->second.front() += "/" + totals->second.front();
            return;
        }
    }
}

void readEverything(TagLib::FileRef &ref, const std::wstring &path, FullTag &tag)
{
    TagLib::File &file = *ref.file();
    // The kind is looked up once: every lookup tries the table's classes in turn.
    const FileKind *kind = kindOfFile(file);
    const FileTags tags = kind ? kind->tagsOf(file) : FileTags();
    // The pictures first: what is read after them lies above their large copies on the heap,
    // so that freeing the record does not hand the memory back to the system at every read
    // (which the next read then pays for, a page fault every 4 KiB).
    tag.pictures = picturesOf(file, path, kind);
    TagLib::PropertyMap map = file.properties();
    joinAsfFields(tags, map);
    if (tags.xiph) {
        joinTotal(map, "TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS");
        joinTotal(map, "DISCNUMBER", "DISCTOTAL", "TOTALDISCS");
    }
    tag.properties.reserve(map.size());
    for (const auto &entry : map) {
        Property property;
        property.key = toUtf8(entry.first);
        property.values.reserve(entry.second.size());
        for (const TagLib::String &value : entry.second)
            property.values.push_back(toUtf8(value));
        tag.properties.push_back(std::move(property));
    }
    addFreeForm(tags, map, tag.properties, tag.unsupported);
    tag.audio = audioOf(ref, kind);
}

} // namespace

namespace {

// True when the content is of the kind TagLib opened it as (the test a save makes), or for a
// class the table lacks, shows audio.
bool isAudio(const TagLib::FileRef &ref, TagLib::IOStream &content)
{
    const FileKind *kind = kindOfFile(*ref.file());
    return kind ? kind->recognises(content) : hasAudioStream(ref);
}

} // namespace

bool readOpened(const std::wstring &path, const std::function<bool(TagLib::FileRef &ref)> &use)
{
    const NativePath nativePath(path);
    if (!nativePath.isRegularFile())
        return false;
    // A save cut off in the middle is undone first; where it cannot be, the file is read as it
    // was before that save.
    const ReadSource source(nativePath);
    // One read-only stream for TagLib and the check of the content alike: Windows refuses a
    // second handle of a file while another is open for writing.
    std::unique_ptr<TagLib::IOStream> opened;
    TagLib::IOStream *stream = source.stream();
    if (!stream) {
#ifdef _WIN32
        auto file = std::make_unique<TagLib::FileStream>(nativePath.fileName(), true);
        if (!file->isOpen())
            return explainUnread(nativePath);
        opened = std::move(file);
#else
        // Read at a position of its own: TagLib's seeks cost no system call.
        opened = FileView::open(nativePath.native());
        if (!opened)
            return false;
#endif
        stream = opened.get();
    }
    // The reference is scoped to this function: the file is closed before the caller returns.
    TagLib::FileRef ref(stream, true, TagLib::AudioProperties::Average);
    if (ref.isNull())
        return explainUnread(nativePath);
    // TagLib opens any file named .mp3 as MPEG, a page of text or a JPEG too: such a file is no
    // audio, as a save of it finds, not a file with empty fields.
    if (!isAudio(ref, *stream))
        return failWith(QUILLET_ENOTAUDIO);
    return use(ref);
}

namespace {

// A WAV file saved with the tag types it has; and ID3v2 where keepAdded and the edit filled in
// the ID3v2 tag the file lacked (what RIFF INFO cannot hold).
bool writeTags(TagLib::File &file, const FileKind *kind, bool keepAdded)
{
    using WAV = TagLib::RIFF::WAV::File;
    auto *wav = dynamic_cast<WAV *>(&file);
    if (keepAdded && wav && !wav->hasID3v2Tag() && !wav->ID3v2Tag()->isEmpty()) {
        const int tags = WAV::ID3v2 | (wav->hasInfoTag() ? WAV::Info : WAV::NoTags);
        return wav->save(static_cast<WAV::TagTypes>(tags), TagLib::File::StripNone,
                         TagLib::ID3v2::v4);
    }
    return kind ? kind->save(file) : file.save();
}

} // namespace

bool saveEdited(const std::wstring &path, const TagEditor &edit, bool keepAdded)
{
    return quillet::saveFile(path, [&](TagLib::FileRef &ref, TagLib::IOStream &content) -> bool {
        if (ref.isNull() || !ref.tag())
            return failWith(QUILLET_ENOTAUDIO);
        TagLib::File &file = *ref.file();
        // TagLib opens a file by its extension first (any file named .mp3 as MPEG): the content
        // must be of the kind TagLib opened it as. A class the table lacks must show audio.
        const FileKind *kind = kindOfFile(file);
        if (kind ? !kind->recognises(content) : !hasAudioStream(ref))
            return failWith(QUILLET_ENOTAUDIO);
        // TagLib refuses to write a structure it could not make sense of.
        return edit(file, kind) && (writeTags(file, kind, keepAdded) || failWith(QUILLET_EDAMAGED));
    });
}

bool readFull(const std::wstring &path, FullTag &tag)
{
    tag = FullTag();
    try {
        prepareTagLib();
        if (readOpened(path, [&](TagLib::FileRef &ref) {
                readEverything(ref, path, tag);
                return true;
            }))
            return true;
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
    } catch (...) {
        errno = EIO;
    }
    const KeepErrno keep;
    tag = FullTag();
    return false;
}

bool saveChanges(const std::wstring &path, const ChangeSet &changes)
{
    const int before = errno;
    bool saved = false;
    try {
        prepareTagLib();
        if (changes.empty()) {
            // Nothing to write; the file must still be one the library can write.
            saved = readOpened(path, [](TagLib::FileRef &) { return true; });
        } else {
            saved = saveEdited(
                    path,
                    [&](TagLib::File &file, const FileKind *) {
                        for (const Property &property : changes.set) {
                            if (property.values.empty()
                                || !applyProperty(file, property.key, property.values))
                                return failWith(EINVAL);
                        }
                        for (const std::string &key : changes.remove) {
                            if (!applyProperty(file, key, {}))
                                return failWith(EINVAL);
                        }
                        if (!changePictures(file, path, changes.pictures))
                            return false;
                        fillNewWavId3v2(file, changes.set);
                        return true;
                    },
                    true);
        }
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
    } catch (...) {
        errno = EIO;
    }
    if (saved)
        errno = before;
    else if (errno == 0)
        errno = EIO;
    return saved;
}

} // namespace quillet
