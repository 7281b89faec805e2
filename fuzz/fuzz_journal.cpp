// A journal of arbitrary bytes beside a fixed song, then readTag: afterwards the song must be byte
// for byte as it was, or exactly as it was with the journal's records written back and cut or
// grown to its old size, and nothing may be left beside it.
//
// The first byte of an input steers it past the two checks that random bytes never pass: bit 0
// writes the song's real device and inode into the header, bit 1 seals the checksum. The rest
// is the journal.
#include "fuzzsupport.h"
#include "quillet.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr std::size_t headerSize = 64;
constexpr std::size_t checksumAt = 56;
// Past this, an old size is never what the records of so small an input can restore.
constexpr std::uint64_t largestOldSize = 1 << 24;

// An ID3v2.3 tag with a title and padding, then silent MPEG-1 Layer III frames.
const std::vector<char> &song()
{
    static const std::vector<char> bytes = [] {
        std::vector<char> data = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x01, 0x00};
        const char title[] = {'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'S', 'o', 'n', 'g'};
        data.insert(data.end(), title, title + sizeof title);
        data.resize(10 + 128, '\0'); // the tag's size above: 128 bytes
        for (int frame = 0; frame < 24; ++frame) {
            const std::size_t at = data.size();
            data.resize(at + 417, '\0');
            const char header[] = {'\xFF', '\xFB', '\x90', '\x64'};
            std::memcpy(&data[at], header, sizeof header);
        }
        return data;
    }();
    return bytes;
}

std::uint64_t getU64(const std::uint8_t *at)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

void putU64(std::uint8_t *at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// FNV-1a over little-endian 8-byte words, then the bytes left over and their count.
std::uint64_t checksumOf(const std::vector<std::uint8_t> &journal)
{
    std::vector<std::uint8_t> bytes(journal.begin(), journal.begin() + checksumAt);
    bytes.insert(bytes.end(), journal.begin() + headerSize, journal.end());
    const std::uint64_t prime = 0x100000001b3ULL;
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    const std::size_t words = bytes.size() / 8 * 8;
    for (std::size_t at = 0; at < words; at += 8)
        hash = (hash ^ getU64(&bytes[at])) * prime;
    for (std::size_t at = words; at < bytes.size(); ++at)
        hash = (hash ^ bytes[at]) * prime;
    return (hash ^ (bytes.size() - words)) * prime;
}

// The song with the journal's records written over it and cut or grown to the old size, where
// the journal can be read that way at all.
std::optional<std::vector<char>> applied(const std::vector<std::uint8_t> &journal)
{
    if (journal.size() < headerSize)
        return std::nullopt;
    const std::uint64_t oldSize = getU64(&journal[32]);
    const std::uint64_t count = getU64(&journal[40]);
    if (oldSize > largestOldSize)
        return std::nullopt;
    std::vector<char> file = song();
    std::size_t at = headerSize;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (journal.size() - at < 16)
            return std::nullopt;
        const std::uint64_t offset = getU64(&journal[at]);
        const std::uint64_t size = getU64(&journal[at + 8]);
        at += 16;
        if (size > journal.size() - at || offset > largestOldSize || size > largestOldSize)
            return std::nullopt;
        if (file.size() < offset + size)
            file.resize(offset + size, '\0');
        std::memcpy(&file[offset], &journal[at], size);
        at += size;
    }
    file.resize(oldSize, '\0');
    return file;
}

const std::string &folder()
{
    static const std::string path = [] {
        const std::string state = fuzzsupport::scratchDir() + "/state";
        setenv("XDG_STATE_HOME", state.c_str(), 1);
        const std::string songs = fuzzsupport::scratchDir() + "/songs";
        mkdir(songs.c_str(), 0755);
        return songs;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace fuzzsupport;
    if (size == 0)
        return 0;
    const std::string path = folder() + "/song.mp3";
    const std::vector<char> &original = song();
    if (!writeFile(path, reinterpret_cast<const std::uint8_t *>(original.data()), original.size()))
        fail("cannot write the song", path);
    struct stat file;
    if (stat(path.c_str(), &file) != 0)
        fail("cannot stat the song", path);

    std::vector<std::uint8_t> journal(data + 1, data + size);
    if ((data[0] & 1) && journal.size() >= 32) {
        putU64(&journal[16], static_cast<std::uint64_t>(file.st_dev));
        putU64(&journal[24], static_cast<std::uint64_t>(file.st_ino));
    }
    if ((data[0] & 2) && journal.size() >= headerSize)
        putU64(&journal[checksumAt], checksumOf(journal));
    const std::string journalPath = folder() + "/.song.mp3.quillet-journal";
    if (!writeFile(journalPath, journal.data(), journal.size()))
        fail("cannot write the journal", journalPath);

    tagstruct tag;
    readTag(widen(path), &tag);
    delete[] tag.picture;

    const std::vector<char> after = readFile(path);
    if (after != original && after != applied(journal))
        fail("the song is neither as it was nor the journal's records applied", path);
    if (listDir(folder()).size() != 1)
        fail("readTag left the journal beside the song", journalPath);
    ::remove(path.c_str());
    return 0;
}
