// The way for a change that keeps every original byte at its offset, and for one that moves
// audio in a file that may not be replaced: written into the file itself under a journal.
#ifndef QUILLET_SAVE_INPLACE_H
#define QUILLET_SAVE_INPLACE_H

#include "check.h"
#include "plan.h"
#include "target.h"

namespace quillet {

class EditStream;

// 1. The journal: the original bytes of every range the plan overwrites, flushed with its
//    folder. 2. The changes, written while no reader holds the file; a file that grows does so at
//    its end only; flushed. 3. The journal removed, the folder flushed.
// file is open for reading and writing and held with a shared lock. False with the file as it
// was when any step fails: where the file was written already, it is restored from the journal
// (and where even that fails, the journal stays for the next access to apply).
// The journal is made at place.
bool writeInPlace(const Target &target, const JournalPlace &place, int file,
                  const EditStream &stream, const Plan &plan, const Expectation &expected);

} // namespace quillet

#endif // QUILLET_SAVE_INPLACE_H
