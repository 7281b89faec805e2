// The file a save or a read works on, found through every symbolic link, and the names of the
// files a save keeps beside it.
#ifndef QUILLET_SAVE_TARGET_H
#define QUILLET_SAVE_TARGET_H

#include <string>

#include <sys/stat.h>

namespace quillet {

struct Target
{
    std::string path; // every symbolic link resolved
    std::string folder;
    std::string name;
    struct stat file;
    struct stat folderStat;
};

// False when the path leads to no regular file.
bool resolveTarget(const std::string &given, Target &target);

// A file or folder without any write permission is read-only for everybody, root included;
// otherwise the system decides for this process.
bool isWritable(const Target &target);
bool fileWritable(const Target &target);
bool folderWritable(const Target &target);

// True when a new file may take the old one's name: not where several names share the file,
// which must stay one file, nor in a sticky folder where only the owners of the file or the
// folder may replace it.
bool mayReplace(const Target &target);

// ".<name>.quillet-journal" and ".<name>.quillet-copy", in the file's folder. A name too long
// for that keeps its beginning and gets a hash of the whole, so that no two files share them.
std::string journalName(const std::string &name);
std::string copyName(const std::string &name);
std::string besideTarget(const Target &target, const std::string &name);

// Where a save keeps its journal: beside the file, or, where the file may be written but
// nothing beside it (a folder the user cannot write, the journal's name taken by something that
// cannot be removed), in the user's state folder: "$XDG_STATE_HOME/quillet/", else
// "~/.local/state/quillet/", under the file's device and inode.
struct JournalPlace
{
    std::string path; // empty: the user has no state folder
    std::string folder;
    bool beside = true;
};
JournalPlace journalBeside(const Target &target);
JournalPlace journalInStateFolder(dev_t device, ino_t inode);
// Makes the state folder, private to the user, where it is missing.
bool makeStateFolder(const JournalPlace &place);

// A save of a file with several names keeps its journal beside the name it was given, where
// every user who reads through that name sees it; a symbolic link in the state folder,
// "<device>-<inode>.quillet-name", leads to that journal from the file's other names. Empty
// where the user has no state folder.
std::string namePointer(dev_t device, ino_t inode);
// The journal the pointer of the file leads to; an empty path where there is none.
JournalPlace pointedJournal(dev_t device, ino_t inode);

} // namespace quillet

#endif // QUILLET_SAVE_TARGET_H
