#include "target.h"

#include "fnv1a.h"
#include "quillet.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace quillet {

bool resolveTarget(const std::string &given, Target &target)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(given.c_str(), nullptr),
                                                               &std::free);
    if (!resolved)
        return false;
    target.path = resolved.get();
    const std::size_t slash = target.path.rfind('/');
    if (slash == std::string::npos)
        return false;
    target.folder = slash == 0 ? std::string("/") : target.path.substr(0, slash);
    target.name = target.path.substr(slash + 1);
    if (stat(target.path.c_str(), &target.file) != 0)
        return false;
    if (!S_ISREG(target.file.st_mode)) {
        errno = S_ISDIR(target.file.st_mode) ? EISDIR : QUILLET_ENOTAUDIO;
        return false;
    }
    return stat(target.folder.c_str(), &target.folderStat) == 0;
}

namespace {

constexpr mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

} // namespace

bool fileWritable(const Target &target)
{
    // Not even root writes a file that nobody may write: faccessat would let root through.
    if ((target.file.st_mode & anyWrite) == 0) {
        errno = EACCES;
        return false;
    }
    return faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool folderWritable(const Target &target)
{
    return (target.folderStat.st_mode & anyWrite) != 0
            && faccessat(AT_FDCWD, target.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool isWritable(const Target &target)
{
    return fileWritable(target) && folderWritable(target);
}

bool mayReplace(const Target &target)
{
    if (target.file.st_nlink > 1)
        return false;
    const uid_t self = geteuid();
    return (target.folderStat.st_mode & S_ISVTX) == 0 || self == 0 || self == target.file.st_uid
            || self == target.folderStat.st_uid;
}

namespace {

constexpr char marker[] = ".quillet-";
constexpr std::size_t longestSuffix = sizeof "journal" - 1;
constexpr std::size_t hashLength = 17; // "~" and 16 hex digits

std::string besideName(const std::string &name, const char *suffix)
{
    const std::size_t room = NAME_MAX - 1 - (sizeof marker - 1) - longestSuffix;
    if (name.size() <= room)
        return "." + name + marker + suffix;
    const std::uint64_t hash = fnv1a::of<unsigned char>(name);
    char hex[hashLength + 1];
    std::snprintf(hex, sizeof hex, "~%016llx", static_cast<unsigned long long>(hash));
    // Cut where a character begins: some file systems take only valid UTF-8 names.
    std::size_t cut = room - hashLength;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return "." + name.substr(0, cut) + hex + marker + suffix;
}

} // namespace

std::string journalName(const std::string &name)
{
    return besideName(name, "journal");
}

std::string copyName(const std::string &name)
{
    return besideName(name, "copy");
}

std::string besideTarget(const Target &target, const std::string &name)
{
    return target.folder == "/" ? "/" + name : target.folder + "/" + name;
}

JournalPlace journalBeside(const Target &target)
{
    return {besideTarget(target, journalName(target.name)), target.folder, true};
}

namespace {

// "$XDG_STATE_HOME/quillet", else "$HOME/.local/state/quillet"; empty where neither is an
// absolute path.
std::string stateFolder()
{
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/quillet";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/state/quillet";
    return std::string();
}

// "<state folder>/<device>-<inode><suffix>"; empty without a state folder.
std::string inStateFolder(dev_t device, ino_t inode, const char *suffix)
{
    const std::string folder = stateFolder();
    if (folder.empty())
        return folder;
    char name[64];
    std::snprintf(name, sizeof name, "/%llx-%llx%s", static_cast<unsigned long long>(device),
                  static_cast<unsigned long long>(inode), suffix);
    return folder + name;
}

} // namespace

JournalPlace journalInStateFolder(dev_t device, ino_t inode)
{
    JournalPlace place;
    place.beside = false;
    place.folder = stateFolder();
    place.path = inStateFolder(device, inode, ".quillet-journal");
    return place;
}

std::string namePointer(dev_t device, ino_t inode)
{
    return inStateFolder(device, inode, ".quillet-name");
}

JournalPlace pointedJournal(dev_t device, ino_t inode)
{
    JournalPlace place;
    const std::string pointer = namePointer(device, inode);
    char target[PATH_MAX];
    const ssize_t length = pointer.empty() ? -1 : readlink(pointer.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target || target[0] != '/')
        return place;
    place.path.assign(target, static_cast<std::size_t>(length));
    const std::size_t slash = place.path.rfind('/');
    place.folder = slash == 0 ? std::string("/") : place.path.substr(0, slash);
    return place;
}

bool makeStateFolder(const JournalPlace &place)
{
    if (place.path.empty()) {
        errno = ENOENT;
        return false;
    }
    // Every missing folder on the way, private to the user as the base directory rules ask.
    for (std::size_t slash = place.folder.find('/', 1);;
         slash = place.folder.find('/', slash + 1)) {
        const std::string part = place.folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    return stat(place.folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace quillet
