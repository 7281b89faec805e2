#include "check.h"

#include "editstream.h"
#include "errors.h"
#include "quillet.h"
#include "safesave.h"

#include <algorithm>
#include <cstdlib>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/modfilebase.h>

namespace quillet {

bool hasAudioStream(const TagLib::FileRef &ref)
{
    const TagLib::AudioProperties *audio = ref.isNull() ? nullptr : ref.audioProperties();
    if (!audio)
        return false;
    return audio->sampleRate() > 0 || dynamic_cast<const TagLib::Mod::FileBase *>(ref.file());
}

Expectation expectationOf(const TagLib::FileRef &ref)
{
    Expectation expected;
    if (ref.isNull())
        return expected;
    const TagLib::File &file = *ref.file();
    expected.kind = &typeid(file);
    expected.hasAudio = hasAudioStream(ref);
    if (const TagLib::AudioProperties *audio = ref.audioProperties()) {
        expected.sampleRate = audio->sampleRate();
        expected.lengthInMilliseconds = audio->lengthInMilliseconds();
    }
    return expected;
}

bool meets(EditStream &content, const Expectation &expected)
{
    content.rewind();
    const TagLib::FileRef ref(&content, true, TagLib::AudioProperties::Average);
    const Expectation found = expectationOf(ref);
    // Where TagLib estimates the length from the size of the stream, rounding may move it a
    // little; audio lost would move it far more, or keep the file from opening at all.
    // In 64 bits: a broken stream can make TagLib report any int, INT_MIN included.
    const long long expectedLength = expected.lengthInMilliseconds;
    const long long slack = std::max(1000LL, std::llabs(expectedLength) / 100);
    return !content.readFailed() && found.kind && *found.kind == *expected.kind
            && found.hasAudio == expected.hasAudio && found.sampleRate == expected.sampleRate
            && std::llabs(found.lengthInMilliseconds - expectedLength) <= slack;
}

bool editChecked(EditStream &stream, const FileEditor &edit, Expectation &expected)
{
    {
        TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
        if (stream.readFailed())
            return failWith(EIO);
        if (ref.isNull())
            return failWith(QUILLET_ENOTAUDIO);
        expected = expectationOf(ref);
        if (!edit(ref, stream))
            return false;
        if (stream.readFailed())
            return failWith(EIO);
    }
    if (!meets(stream, expected))
        return failWith(stream.readFailed() ? EIO : QUILLET_EDAMAGED);
    return true;
}

} // namespace quillet
