#include "imageheader.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <taglib/tbytevector.h>

namespace quillet {

namespace {

// The bytes of the image; every read goes through has() first.
struct View
{
    const unsigned char *data;
    std::size_t size;

    bool has(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= size && count <= size - offset;
    }
    bool holds(std::size_t offset, const char *text, std::size_t length) const
    {
        return has(offset, length) && std::memcmp(data + offset, text, length) == 0;
    }
    unsigned int be16(std::size_t at) const { return data[at] << 8 | data[at + 1]; }
    unsigned int le16(std::size_t at) const { return data[at + 1] << 8 | data[at]; }
    std::uint32_t be32(std::size_t at) const
    {
        return std::uint32_t(be16(at)) << 16 | be16(at + 2);
    }
    std::uint32_t le32(std::size_t at) const
    {
        return std::uint32_t(le16(at + 2)) << 16 | le16(at);
    }
};

// Sizes of more than 31 bits are not sizes any picture block can state.
int sizeFrom(std::int64_t value)
{
    return value >= 0 && value <= INT_MAX ? static_cast<int>(value) : 0;
}

// Start of frame markers: every 0xCn but DHT (C4), JPG (C8) and DAC (CC).
bool isStartOfFrame(unsigned int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the segments up to the frame header; the scan itself is never read.
void readJpeg(const View &image, ImageHeader &header)
{
    std::size_t at = 2;
    while (image.has(at, 4) && image.data[at] == 0xFF) {
        const unsigned int marker = image.data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            return;
        const std::size_t length = image.be16(at + 2);
        if (length < 2)
            return;
        if (isStartOfFrame(marker)) {
            if (length >= 8 && image.has(at, 10)) {
                header.height = sizeFrom(image.be16(at + 5));
                header.width = sizeFrom(image.be16(at + 7));
                header.depth = image.data[at + 4] * image.data[at + 9]; // precision, components
            }
            return;
        }
        at += 2 + length;
    }
}

// The IHDR chunk, and for an indexed image the PLTE chunk that must come before the data.
void readPng(const View &image, ImageHeader &header)
{
    if (!image.holds(12, "IHDR", 4) || !image.has(16, 10))
        return;
    header.width = sizeFrom(image.be32(16));
    header.height = sizeFrom(image.be32(20));
    const unsigned int bitDepth = image.data[24];
    const unsigned int colourType = image.data[25];
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    header.depth = colourType < 7 ? static_cast<int>(bitDepth) * channels[colourType] : 0;
    if (colourType != 3)
        return;
    for (std::uint64_t at = 8; image.has(at, 8);) {
        const std::uint32_t length = image.be32(at);
        if (image.holds(at + 4, "PLTE", 4)) {
            header.colours = sizeFrom(length / 3);
            return;
        }
        if (image.holds(at + 4, "IDAT", 4) || image.holds(at + 4, "IEND", 4))
            return;
        at += 12 + std::uint64_t(length); // length, type, data, CRC
    }
}

// The logical screen; its global colour table gives the depth and the colours.
void readGif(const View &image, ImageHeader &header)
{
    if (!image.has(6, 5))
        return;
    header.width = sizeFrom(image.le16(6));
    header.height = sizeFrom(image.le16(8));
    const unsigned int flags = image.data[10];
    if (flags & 0x80) {
        header.depth = static_cast<int>(flags & 0x07) + 1;
        header.colours = 1 << header.depth;
    }
}

// BITMAPCOREHEADER (12 bytes) or one of the longer info headers; rows stored top-down have a
// negative height.
void readBmp(const View &image, ImageHeader &header)
{
    if (!image.has(14, 4))
        return;
    const std::uint32_t infoSize = image.le32(14);
    unsigned int bits = 0;
    if (infoSize == 12 && image.has(18, 8)) {
        header.width = sizeFrom(image.le16(18));
        header.height = sizeFrom(image.le16(20));
        bits = image.le16(24);
    } else if (infoSize >= 16 && image.has(18, 12)) {
        header.width = sizeFrom(static_cast<std::int32_t>(image.le32(18)));
        const std::int64_t height = static_cast<std::int32_t>(image.le32(22));
        header.height = sizeFrom(height < 0 ? -height : height);
        bits = image.le16(28);
    } else {
        return;
    }
    header.depth = static_cast<int>(bits);
    if (bits == 0 || bits > 8)
        return;
    const std::uint32_t stated = infoSize >= 40 && image.has(46, 4) ? image.le32(46) : 0;
    const std::uint32_t most = 1u << bits;
    header.colours = static_cast<int>(stated != 0 && stated < most ? stated : most);
}

} // namespace

namespace {

struct TypeNames
{
    const char *mimeType;
    const char *extension;
};

// By ImageHeader::Type; an unknown image is taken for the JPEG the editor hands over.
constexpr TypeNames typeNames[] = {
        {"image/jpeg", "jpg"}, {"image/jpeg", "jpg"},  {"image/png", "png"}, {"image/gif", "gif"},
        {"image/bmp", "bmp"},  {"image/webp", "webp"}, {"image/tiff", "tif"}};

} // namespace

const char *ImageHeader::mimeType() const
{
    return typeNames[type].mimeType;
}

const char *ImageHeader::extension() const
{
    return typeNames[type].extension;
}

ImageHeader readImageHeader(const TagLib::ByteVector &bytes)
{
    const View image {reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size()};
    ImageHeader header;
    if (image.holds(0, "\xFF\xD8\xFF", 3)) {
        header.type = ImageHeader::Jpeg;
        readJpeg(image, header);
    } else if (image.holds(0, "\x89PNG\r\n\x1A\n", 8)) {
        header.type = ImageHeader::Png;
        readPng(image, header);
    } else if (image.holds(0, "GIF87a", 6) || image.holds(0, "GIF89a", 6)) {
        header.type = ImageHeader::Gif;
        readGif(image, header);
    } else if (image.holds(0, "BM", 2)) {
        header.type = ImageHeader::Bmp;
        readBmp(image, header);
    } else if (image.holds(0, "RIFF", 4) && image.holds(8, "WEBP", 4)) {
        header.type = ImageHeader::WebP;
    } else if (image.holds(0, "II*\0", 4) || image.holds(0, "MM\0*", 4)) {
        header.type = ImageHeader::Tiff;
    }
    return header;
}

} // namespace quillet
