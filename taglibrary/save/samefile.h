// Whether two names or descriptors lead to one file: the same device and inode. A save checks
// this wherever another process could have put a new file under a name it holds.
#ifndef QUILLET_SAVE_SAMEFILE_H
#define QUILLET_SAVE_SAMEFILE_H

#include <string>

#include <sys/stat.h>

namespace quillet {

bool sameFile(const struct stat &a, const struct stat &b);

// True when fd is open on file; opened receives what fd is open on.
bool isOpenOn(int fd, const struct stat &file, struct stat &opened);
bool isOpenOn(int fd, const struct stat &file);

enum class Links {
    Follow, // the file a symbolic link leads to
    Keep, // a symbolic link itself
};
// True when path names the file fd is open on.
bool namesOpenFile(const std::string &path, int fd, Links links);

} // namespace quillet

#endif // QUILLET_SAVE_SAMEFILE_H
