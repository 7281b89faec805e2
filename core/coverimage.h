// Covers as the editor shows them: every picture stretched or squeezed to one square.
#ifndef COVERIMAGE_H
#define COVERIMAGE_H

#include <QByteArray>
#include <QImage>

namespace coverimage {

// The side of the square every cover is shown in, whatever its shape.
constexpr int shownSide = 240;

// Decodes encoded image bytes straight to the shown size: a JPEG decodes at a fraction of its
// size directly, for a fraction of a full decode's time. Null when the bytes hold no image
// that can be read. Safe on any thread: the editor calls it from a worker.
QImage decodeShown(const QByteArray &bytes);

// Whether the bytes start as an image that can be read: only the header is read, so this is
// quick whatever the image's size.
bool hasImageHeader(const QByteArray &bytes);

// A picture already decoded, brought to the shown size; null stays null.
QImage scaledShown(const QImage &image);

} // namespace coverimage

#endif // COVERIMAGE_H
