#include "coverimage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <limits>

namespace {

// The record counts picture bytes in 32 bits.
constexpr qint64 maxCoverBytes = std::numeric_limits<std::int32_t>::max();

bool isJpeg(const QByteArray &bytes)
{
    // Every JPEG file starts with a start-of-image marker followed by another marker.
    return bytes.startsWith("\xFF\xD8\xFF");
}

QImage onWhite(const QImage &image)
{
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque;
}

} // namespace

QByteArray coverFromImageFile(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return {};
    }
    if (file.size() > maxCoverBytes) {
        *reason = QStringLiteral("too large for a cover");
        return {};
    }
    const QByteArray bytes = file.readAll();
    QImage image;
    // The format is taken from the content: an image's name need not match what it holds.
    if (!image.loadFromData(bytes)) {
        *reason = QStringLiteral("not an image that can be read");
        return {};
    }
    // Decoding and encoding a JPEG again would only lose quality.
    if (isJpeg(bytes))
        return bytes;

    // JPEG has no transparency; transparent parts become white rather than whatever colour
    // they hide.
    if (image.hasAlphaChannel())
        image = onWhite(image);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", -1) || jpeg.isEmpty()) {
        *reason = QStringLiteral("could not be encoded as JPEG");
        return {};
    }
    if (jpeg.size() > maxCoverBytes) {
        *reason = QStringLiteral("too large for a cover");
        return {};
    }
    return jpeg;
}
