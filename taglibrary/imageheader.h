// What an image's own header says about it, for the picture fields that tags store beside the
// bytes. Only the header is read, bounds-checked: the bytes come from the user.
#ifndef QUILLET_IMAGEHEADER_H
#define QUILLET_IMAGEHEADER_H

namespace TagLib {
class ByteVector;
}

namespace quillet {

struct ImageHeader
{
    enum Type { Unknown, Jpeg, Png, Gif, Bmp, WebP, Tiff };

    Type type = Unknown;
    int width = 0; // 0 where the header does not say
    int height = 0;
    int depth = 0; // bits per pixel
    int colours = 0; // palette entries of an indexed image; 0 otherwise

    // The MIME type of type; "image/jpeg" for an unknown one, what the editor hands over.
    const char *mimeType() const;
    // A file name extension for type, without the dot; "jpg" for an unknown one.
    const char *extension() const;
};

ImageHeader readImageHeader(const TagLib::ByteVector &bytes);

} // namespace quillet

#endif // QUILLET_IMAGEHEADER_H
