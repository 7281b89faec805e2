#include "covertype.h"

QString coverType(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("none");
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QStringLiteral("gif");
    if (bytes.startsWith("BM"))
        return QStringLiteral("bmp");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("webp");
    if (bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4)))
        return QStringLiteral("tiff");
    return QStringLiteral("unknown");
}
