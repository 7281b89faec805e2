#include "chosencover.h"

#include "coverimage.h"

#include <QBuffer>
#include <QFile>
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

ChosenCover failed(const QString &error)
{
    return {QByteArray(), QImage(), error};
}

} // namespace

ChosenCover chooseCover(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(file.errorString());
    if (file.size() > maxCoverBytes)
        return failed(QStringLiteral("too large for a cover"));
    const QByteArray bytes = file.readAll();

    // A JPEG is stored exactly as the user has it: decoding and encoding again would only lose
    // quality.
    if (isJpeg(bytes)) {
        if (!coverimage::hasImageHeader(bytes))
            return failed(QStringLiteral("not an image that can be read"));
        return {bytes, QImage(), QString()};
    }

    QImage image;
    // The format is taken from the content: an image's name need not match what it holds.
    if (!image.loadFromData(bytes))
        return failed(QStringLiteral("not an image that can be read"));
    // JPEG has no transparency; transparent parts become white rather than whatever colour they
    // hide.
    if (image.hasAlphaChannel()) {
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = opaque;
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", -1) || jpeg.isEmpty())
        return failed(QStringLiteral("could not be encoded as JPEG"));
    if (jpeg.size() > maxCoverBytes)
        return failed(QStringLiteral("too large for a cover"));
    return {jpeg, image, QString()};
}
