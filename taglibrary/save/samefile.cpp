#include "samefile.h"

namespace quillet {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isOpenOn(int fd, const struct stat &file, struct stat &opened)
{
    return fd >= 0 && fstat(fd, &opened) == 0 && sameFile(opened, file);
}

bool isOpenOn(int fd, const struct stat &file)
{
    struct stat opened;
    return isOpenOn(fd, file, opened);
}

bool namesOpenFile(const std::string &path, int fd, Links links)
{
    struct stat named;
    struct stat mine;
    const int found
            = links == Links::Follow ? stat(path.c_str(), &named) : lstat(path.c_str(), &named);
    return found == 0 && fstat(fd, &mine) == 0 && sameFile(named, mine);
}

} // namespace quillet
