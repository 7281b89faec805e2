#ifndef COVERIMAGE_H
#define COVERIMAGE_H

#include <QByteArray>
#include <QString>

// The bytes an image file becomes as a file's cover, by the same rule as the editor's "Load
// Cover Art Image": a JPEG is kept byte for byte; any other image that can be read is encoded
// once as JPEG from its full size, transparent parts on white. Empty, with the reason, when the
// file cannot be read or is not an image.
QByteArray coverFromImageFile(const QString &path, QString *reason);

#endif // COVERIMAGE_H
