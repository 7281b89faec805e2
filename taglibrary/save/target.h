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

// True when a new file may take the old one's name: not where several names share the file,
// which must stay one file, nor in a sticky folder where only the owners of the file or the
// folder may replace it.
bool mayReplace(const Target &target);

// ".<name>.quillet-journal" and ".<name>.quillet-copy", in the file's folder. A name too long
// for that keeps its beginning and gets a hash of the whole, so that no two files share them.
std::string journalName(const std::string &name);
std::string copyName(const std::string &name);
std::string besideTarget(const Target &target, const std::string &name);

} // namespace quillet

#endif // QUILLET_SAVE_TARGET_H
