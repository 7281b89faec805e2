#ifndef COVERTYPE_H
#define COVERTYPE_H

#include <QByteArray>
#include <QString>

// The image format of cover bytes, from their first bytes: "jpeg", "png", "gif", "bmp",
// "webp" or "tiff"; "unknown" for anything else and "none" for no bytes.
QString coverType(const QByteArray &bytes);

#endif // COVERTYPE_H
