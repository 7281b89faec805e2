#include "damage.h"

#include "fileio.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quillet {

namespace {

// Reads count bytes at offset into out; false where the file ends first.
bool readExactly(int fd, long long offset, void *out, long long count)
{
    return readAt(fd, static_cast<char *>(out), count, offset) == count;
}

std::uint64_t bigEndian(const unsigned char *bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

std::uint64_t littleEndian(const unsigned char *bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// The bytes of an ID3v2 tag at offset (0 without one); past the end counts as cut.
long long id3v2Size(int fd, long long offset)
{
    unsigned char header[10];
    if (!readExactly(fd, offset, header, sizeof header) || std::memcmp(header, "ID3", 3) != 0)
        return 0;
    long long size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (header[i] & 0x7F);
    return 10 + size + ((header[5] & 0x10) ? 10 : 0);
}

// FLAC metadata blocks up to the one marked last.
bool flacCut(int fd, long long offset, long long size)
{
    for (offset += 4;;) {
        unsigned char header[4];
        if (!readExactly(fd, offset, header, sizeof header))
            return true;
        offset += 4 + static_cast<long long>(bigEndian(header + 1, 3));
        if (offset > size)
            return true;
        if (header[0] & 0x80)
            return false;
    }
}

// The pages of an Ogg stream until its first three packets are complete (identification,
// comment, and setup or audio); a stream that ends cleanly after its comment is whole.
bool oggCut(int fd, long long offset, long long size)
{
    int packets = 0;
    while (packets < 3) {
        if (offset == size)
            return packets < 2;
        unsigned char header[27];
        unsigned char lacing[255];
        if (!readExactly(fd, offset, header, sizeof header) || std::memcmp(header, "OggS", 4) != 0)
            return true;
        const int segments = header[26];
        if (!readExactly(fd, offset + 27, lacing, segments))
            return true;
        long long body = 0;
        for (int i = 0; i < segments; ++i) {
            body += lacing[i];
            packets += lacing[i] < 255;
        }
        offset += 27 + segments + body;
        if (offset > size)
            return true;
    }
    return false;
}

// MP4 atoms at the top level: each must lie within the file, but the media data, which a cut
// leaves to be played as far as it goes.
bool mp4Cut(int fd, long long size)
{
    for (long long offset = 0; offset + 8 <= size;) {
        unsigned char header[16];
        if (!readExactly(fd, offset, header, 8))
            return true;
        std::uint64_t length = bigEndian(header, 4);
        if (length == 1 && readExactly(fd, offset + 8, header + 8, 8))
            length = bigEndian(header + 8, 8);
        if (length < 8)
            return false; // reaching to the end of the file, or nothing read here
        if (length > static_cast<std::uint64_t>(size - offset))
            return std::memcmp(header + 4, "mdat", 4) != 0;
        offset += static_cast<long long>(length);
    }
    return false;
}

// RIFF (little-endian) and AIFF (big-endian) chunks after the form header: each must lie within
// the file, but the audio's own.
bool chunksCut(int fd, long long size, bool bigEndianSizes, const char *audio)
{
    for (long long offset = 12; offset + 8 <= size;) {
        unsigned char header[8];
        if (!readExactly(fd, offset, header, 8))
            return true;
        const std::uint64_t length
                = bigEndianSizes ? bigEndian(header + 4, 4) : littleEndian(header + 4, 4);
        if (length > static_cast<std::uint64_t>(size - offset - 8))
            return std::memcmp(header, audio, 4) != 0;
        offset += 8 + static_cast<long long>(length + (length & 1));
    }
    return false;
}

} // namespace

bool endsInsideTag(int fd, long long size)
{
    const long long tag = id3v2Size(fd, 0);
    if (tag > size)
        return true;
    unsigned char magic[16] = {};
    if (!readExactly(fd, tag, magic, std::min<long long>(sizeof magic, size - tag)))
        return false;
    if (std::memcmp(magic, "fLaC", 4) == 0)
        return flacCut(fd, tag, size);
    if (tag > 0)
        return false;
    if (std::memcmp(magic, "OggS", 4) == 0)
        return oggCut(fd, 0, size);
    static const unsigned char asfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    if (std::memcmp(magic + 4, "ftyp", 4) == 0)
        return mp4Cut(fd, size);
    if (std::memcmp(magic, "RIFF", 4) == 0)
        return chunksCut(fd, size, false, "data");
    if (std::memcmp(magic, "FORM", 4) == 0)
        return chunksCut(fd, size, true, "SSND");
    if (std::memcmp(magic, asfHeader, 16) == 0) {
        unsigned char length[8];
        return !readExactly(fd, 16, length, 8)
                || littleEndian(length, 8) > static_cast<std::uint64_t>(size);
    }
    return false;
}

} // namespace quillet
