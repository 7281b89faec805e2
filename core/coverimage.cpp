#include "coverimage.h"

#include <QBuffer>
#include <QImageReader>

namespace coverimage {

namespace {

// Below the JPEG reader's high-quality threshold: fast inverse DCT and plain upsampling, and the
// same plain stretching that every other cover gets. A preview needs no more.
constexpr int previewQuality = 49;

} // namespace

QImage decodeShown(const QByteArray &bytes)
{
    // The reader only reads, so the bytes need not be copied for it.
    QByteArray data = bytes;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    // The format is taken from the content: a cover's declared type need not match it.
    QImageReader reader(&buffer);
    reader.setQuality(previewQuality);
    reader.setScaledSize(QSize(shownSide, shownSide));
    return reader.read();
}

bool hasImageHeader(const QByteArray &bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
}

QImage scaledShown(const QImage &image)
{
    if (image.isNull())
        return image;
    return image.scaled(shownSide, shownSide, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace coverimage
