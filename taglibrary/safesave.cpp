#include "safesave.h"

#include "textconv.h"

#include <cstdlib>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/modfilebase.h>
#include <taglib/tfilestream.h>

namespace quillet {

bool hasAudioStream(const TagLib::FileRef &ref)
{
    const TagLib::AudioProperties *audio = ref.isNull() ? nullptr : ref.audioProperties();
    if (!audio)
        return false;
    return audio->sampleRate() > 0 || dynamic_cast<const TagLib::Mod::FileBase *>(ref.file());
}

} // namespace quillet

#ifdef _WIN32

namespace quillet {

// Written in place, as TagLib does it: replacing the file would fail there while any other
// program holds it open, and would need its own copying of attributes and alternate streams.
bool saveFile(const std::wstring &path, const FileEditor &edit)
{
    const NativePath native(path);
    if (!native.isValid())
        return false;
    if (!native.isRegularFile())
        return false;
    TagLib::FileStream content(native.fileName(), true);
    TagLib::FileRef ref(native.fileName(), true, TagLib::AudioProperties::Average);
    return !ref.isNull() && content.isOpen() && edit(ref, content);
}

} // namespace quillet

#else

#    include "editstream.h"

#    include <algorithm>
#    include <cerrno>
#    include <climits>
#    include <cstdlib>
#    include <cstring>
#    include <ctime>
#    include <memory>
#    include <typeinfo>
#    include <vector>

#    include <dirent.h>
#    include <fcntl.h>
#    include <sys/stat.h>
#    include <unistd.h>

#    ifdef __linux__
#        include <linux/fs.h>
#        include <sys/ioctl.h>
#        include <sys/xattr.h>
#    endif

namespace quillet {

namespace {

constexpr char copyMarker[] = ".quillet-";
constexpr std::size_t copyRandomLength = 6; // the XXXXXX of mkstemp
// A copy this old belongs to no save still running: a running save keeps writing to it, and
// renames it within moments of its last write.
constexpr time_t staleCopyAge = 10 * 60;

// Closes a file descriptor when it goes out of scope.
struct Descriptor
{
    explicit Descriptor(int value = -1)
        : fd(value)
    { }
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd;
};

// The file to write: the path with every symbolic link resolved, and its folder.
struct Target
{
    std::string path;
    std::string folder;
    std::string name;
    struct stat file;
    struct stat folderStat;
};

bool resolve(const std::string &given, Target &target)
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
    return stat(target.path.c_str(), &target.file) == 0 && S_ISREG(target.file.st_mode)
            && stat(target.folder.c_str(), &target.folderStat) == 0;
}

// A file or folder without any write permission is read-only for everybody, root included;
// otherwise the system decides for this process.
bool isWritable(const Target &target)
{
    const mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    return (target.file.st_mode & anyWrite) != 0 && (target.folderStat.st_mode & anyWrite) != 0
            && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) == 0
            && faccessat(AT_FDCWD, target.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// A file with several names must stay one file; in a sticky folder only the owners of the file
// or the folder may replace it.
bool mustWriteInPlace(const Target &target)
{
    if (target.file.st_nlink > 1)
        return true;
    const uid_t self = geteuid();
    return (target.folderStat.st_mode & S_ISVTX) != 0 && self != 0 && self != target.file.st_uid
            && self != target.folderStat.st_uid;
}

// Copies are named after the file, cut so that the whole name stays within NAME_MAX.
std::string copyPrefix(const std::string &name)
{
    const std::size_t room = NAME_MAX - 1 - (sizeof copyMarker - 1) - copyRandomLength;
    return "." + name.substr(0, room) + copyMarker;
}

// Removes copies of this file left by saves that were killed before they could rename them.
void removeStaleCopies(const Target &target)
{
    const std::string prefix = copyPrefix(target.name);
    DIR *folder = opendir(target.folder.c_str());
    if (!folder)
        return;
    const time_t now = time(nullptr);
    while (const dirent *entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + copyRandomLength
            || name.compare(0, prefix.size(), prefix))
            continue;
        struct stat info;
        if (fstatat(dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode) && now - info.st_mtime > staleCopyAge)
            unlinkat(dirfd(folder), entry->d_name, 0);
    }
    closedir(folder);
}

int createCopy(const Target &target, std::string &copyPath)
{
    std::string pattern = target.folder + "/" + copyPrefix(target.name) + "XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        copyPath = pattern;
    return fd;
}

// Owner and group where this process may set them, and the extended attributes where the file
// system has them (access lists and security labels among them). Neither is worth failing for.
void copyOwnership(int from, int to, const struct stat &original)
{
    if (fchown(to, original.st_uid, original.st_gid) != 0)
        (void)!fchown(to, static_cast<uid_t>(-1), original.st_gid);
#    ifdef __linux__
    const ssize_t listSize = flistxattr(from, nullptr, 0);
    if (listSize <= 0)
        return;
    std::vector<char> names(static_cast<std::size_t>(listSize));
    const ssize_t namesSize = flistxattr(from, names.data(), names.size());
    for (ssize_t at = 0; at < namesSize; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
        const char *name = &names[at];
        const ssize_t valueSize = fgetxattr(from, name, nullptr, 0);
        if (valueSize < 0)
            continue;
        std::vector<char> value(static_cast<std::size_t>(valueSize));
        const ssize_t got = fgetxattr(from, name, value.data(), value.size());
        if (got >= 0)
            fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0);
    }
#    else
    (void)from;
#    endif
}

bool writeAt(int fd, const char *data, long long count, long long offset)
{
    while (count > 0) {
        const ssize_t written
                = pwrite(fd, data, static_cast<std::size_t>(count), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false; // a full disk or a size limit ends here
        data += written;
        count -= written;
        offset += written;
    }
    return true;
}

bool copyRange(int from, long long fromOffset, int to, long long toOffset, long long count)
{
#    ifdef __linux__
    // In the kernel: no trip through this process, and shared extents where the file system
    // can share them.
    while (count > 0) {
        loff_t in = fromOffset;
        loff_t out = toOffset;
        const ssize_t copied
                = copy_file_range(from, &in, to, &out, static_cast<std::size_t>(count), 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0
            && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            break;
        if (copied <= 0)
            return false;
        fromOffset += copied;
        toOffset += copied;
        count -= copied;
    }
#    endif
    if (count <= 0)
        return true;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<long long>(count, 1 << 20)));
    while (count > 0) {
        const long long chunk = std::min<long long>(count, static_cast<long long>(buffer.size()));
        const ssize_t got = pread(from, buffer.data(), static_cast<std::size_t>(chunk),
                                  static_cast<off_t>(fromOffset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !writeAt(to, buffer.data(), got, toOffset))
            return false;
        fromOffset += got;
        toOffset += got;
        count -= got;
    }
    return true;
}

bool isInPlace(const EditStream::Piece &piece, long long position)
{
    return !piece.added && piece.offset == position;
}

bool writePiece(const EditStream &stream, const EditStream::Piece &piece, long long position,
                int original, int to)
{
    if (piece.added)
        return writeAt(to, stream.added().data() + piece.offset, piece.size, position);
    return copyRange(original, piece.offset, to, position, piece.size);
}

// Writes the new content into the empty file `to`.
bool writeContent(const EditStream &stream, int original, int to)
{
#    ifdef FICLONE
    // Where most of the file keeps its place, a clone shares its blocks and only the changed
    // pieces are written.
    long long unchanged = 0;
    long long position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (isInPlace(piece, position))
            unchanged += piece.size;
        position += piece.size;
    }
    if (unchanged * 2 >= stream.size() && ioctl(to, FICLONE, original) == 0) {
        position = 0;
        for (const EditStream::Piece &piece : stream.pieces()) {
            if (!isInPlace(piece, position) && !writePiece(stream, piece, position, original, to))
                return false;
            position += piece.size;
        }
        return ftruncate(to, static_cast<off_t>(stream.size())) == 0;
    }
#    endif
    long long at = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (!writePiece(stream, piece, at, original, to))
            return false;
        at += piece.size;
    }
    return true;
}

bool hasSize(int fd, long long size)
{
    struct stat info;
    return fstat(fd, &info) == 0 && info.st_size == size;
}

// What the new content must still be: the same kind of file with the same audio.
struct Expectation
{
    const std::type_info *kind = nullptr;
    bool hasAudio = false;
    int sampleRate = 0;
    int lengthInMilliseconds = 0;
};

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

// Opens content through TagLib again, as the file's own name would.
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

void syncFolder(const std::string &folder)
{
    // Makes the rename itself durable. Some file systems cannot sync a folder; the file's own
    // content is already on disk then, so this is not worth failing for.
    const Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.fd >= 0)
        fsync(fd.fd);
}

// The usual way: a complete, checked copy replaces the file in one rename.
bool replaceWithCopy(const Target &target, int original, const EditStream &stream,
                     const Expectation &expected)
{
    std::string copyPath;
    const Descriptor copy(createCopy(target, copyPath));
    if (copy.fd < 0)
        return false;
    copyOwnership(original, copy.fd, target.file);
    bool ok = writeContent(stream, original, copy.fd)
            && fchmod(copy.fd, target.file.st_mode & 07777) == 0 && fsync(copy.fd) == 0
            && hasSize(copy.fd, stream.size());
    if (ok) {
        EditStream written(copy.fd, stream.size(), stream.name());
        ok = meets(written, expected);
    }
    if (ok)
        ok = rename(copyPath.c_str(), target.path.c_str()) == 0;
    if (!ok) {
        unlink(copyPath.c_str());
        return false;
    }
    syncFolder(target.folder);
    return true;
}

// Makes room for a file that grows before anything of it is overwritten, so that a full disk
// or a size limit is met while the file is still whole.
bool reserve(int fd, long long oldSize, long long newSize)
{
    if (newSize <= oldSize)
        return true;
    const int error = posix_fallocate(fd, static_cast<off_t>(oldSize),
                                      static_cast<off_t>(newSize - oldSize));
    if (error == 0 || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL)
        return true; // nothing reserved: the writes themselves will tell
    (void)!ftruncate(fd, static_cast<off_t>(oldSize));
    return false;
}

// Several names share the file: it is rewritten in place, from the first changed byte only.
// A failure after the first write leaves a damaged file, which is reported.
bool writeInPlace(const Target &target, int original, const EditStream &stream,
                  const Expectation &expected)
{
    bool shifted = false;
    long long position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        shifted = shifted || (!piece.added && piece.offset != position);
        position += piece.size;
    }

    // Audio that moves is written out beside the file first: the file is then overwritten from
    // that copy, never from itself.
    std::string scratchPath;
    Descriptor scratch;
    if (shifted) {
        scratch.fd = createCopy(target, scratchPath);
        if (scratch.fd < 0)
            return false;
        unlink(scratchPath.c_str()); // open but nameless: nothing to clean up after a crash
        if (!writeContent(stream, original, scratch.fd) || !hasSize(scratch.fd, stream.size()))
            return false;
        EditStream written(scratch.fd, stream.size(), stream.name());
        if (!meets(written, expected))
            return false;
    }

    const Descriptor out(open(target.path.c_str(), O_WRONLY | O_CLOEXEC));
    if (out.fd < 0 || !reserve(out.fd, stream.originalSize(), stream.size()))
        return false;
    position = 0;
    for (const EditStream::Piece &piece : stream.pieces()) {
        if (!isInPlace(piece, position)) {
            const bool written = shifted
                    ? copyRange(scratch.fd, position, out.fd, position, piece.size)
                    : writePiece(stream, piece, position, original, out.fd);
            if (!written)
                return false;
        }
        position += piece.size;
    }
    return ftruncate(out.fd, static_cast<off_t>(stream.size())) == 0 && fsync(out.fd) == 0;
}

} // namespace

bool saveFile(const std::wstring &path, const FileEditor &edit)
{
    const NativePath native(path);
    Target target;
    if (!native.isValid() || !resolve(native.native(), target) || !isWritable(target))
        return false;
    removeStaleCopies(target);

    const Descriptor original(open(target.path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat opened;
    if (original.fd < 0 || fstat(original.fd, &opened) != 0 || opened.st_ino != target.file.st_ino
        || opened.st_dev != target.file.st_dev)
        return false;

    // TagLib works on the stream under the name it was given, whose extension picks the class.
    EditStream stream(original.fd, opened.st_size, native.native());
    Expectation expected;
    {
        TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
        if (ref.isNull())
            return false;
        expected = expectationOf(ref);
        if (!edit(ref, stream) || stream.readFailed())
            return false;
    }
    // The new content, still in memory, must open as the same audio before anything is written.
    if (!meets(stream, expected))
        return false;

    if (mustWriteInPlace(target))
        return writeInPlace(target, original.fd, stream, expected);
    return replaceWithCopy(target, original.fd, stream, expected);
}

} // namespace quillet

#endif // _WIN32
