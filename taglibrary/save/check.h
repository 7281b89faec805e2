// What a saved file must still be before it may take the old one's place: the same kind of
// file, with the same audio.
#ifndef QUILLET_SAVE_CHECK_H
#define QUILLET_SAVE_CHECK_H

#include "safesave.h"

#include <typeinfo>

namespace TagLib {
class FileRef;
}

namespace quillet {

class EditStream;

struct Expectation
{
    const std::type_info *kind = nullptr;
    bool hasAudio = false;
    int sampleRate = 0;
    int lengthInMilliseconds = 0;
};

// True when TagLib found an audio stream in the opened file: audio properties with a sample
// rate. Tracker modules (.mod, .xm, .it, .s3m) have no sample rate of their own and count as
// audio once TagLib has opened them, since it checks their signatures.
bool hasAudioStream(const TagLib::FileRef &ref);

Expectation expectationOf(const TagLib::FileRef &ref);

// Opens content through TagLib again, as the file's own name would, and compares.
bool meets(EditStream &content, const Expectation &expected);

// TagLib opens the stream and edit changes it; the new content must then still open as the same
// audio (meets). expected receives what the content was. False when TagLib cannot open it, edit
// refuses, reading failed, or the audio changed.
bool editChecked(EditStream &stream, const FileEditor &edit, Expectation &expected);

} // namespace quillet

#endif // QUILLET_SAVE_CHECK_H
