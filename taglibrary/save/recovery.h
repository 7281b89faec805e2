// What readTag and saveTag do first with what a save may have left beside a file, or in the
// user's state folder: a journal of a save that was cut off is applied, one that never took
// effect is removed, and so is a copy that no running save holds.
#ifndef QUILLET_SAVE_RECOVERY_H
#define QUILLET_SAVE_RECOVERY_H

#include "journal.h"
#include "target.h"

#include <memory>

namespace quillet {

enum class Recovery {
    Clean, // nothing beside the file, or what was there has been dealt with
    NameTaken, // the file is whole, but something this user cannot remove has the name of its
               // journal or copy: a save keeps its journal in the state folder
    Busy, // a running save holds a journal or a copy of the file
    Blocked, // a journal that must be applied cannot be (the folder or the file cannot be
             // written), or something that is not ours has a journal's name
};

Recovery recover(const Target &target);

// The journal of a save that took effect on the file and still stands (Live or Complete),
// beside it or in the state folder; None, with journal empty, where there is none.
Journal::State standingJournal(const Target &target, std::unique_ptr<Journal> &journal);

// The state folder's place for target's journal.
JournalPlace journalInStateFolder(const Target &target);

} // namespace quillet

#endif // QUILLET_SAVE_RECOVERY_H
