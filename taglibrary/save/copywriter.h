// The way for a change that moves audio: the new content is written as a complete file beside
// the old one (".<name>.quillet-copy"), checked, flushed, and renamed over it in one step.
#ifndef QUILLET_SAVE_COPYWRITER_H
#define QUILLET_SAVE_COPYWRITER_H

#include "check.h"
#include "target.h"

namespace quillet {

class EditStream;

// At every moment the file is the old one or the complete new one. The copy is locked while it
// exists; a copy nobody holds was left by a save that was cut off. False, with nothing left
// beside the file, when anything fails.
bool replaceWithCopy(const Target &target, int original, const EditStream &stream,
                     const Expectation &expected);

} // namespace quillet

#endif // QUILLET_SAVE_COPYWRITER_H
