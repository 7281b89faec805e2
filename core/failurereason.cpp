#include "failurereason.h"

#include "quillet.h"

#include <cerrno>
#include <cstring>

QString failureReason(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("no such file");
    case EISDIR:
        return QStringLiteral("is a folder");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("read-only file system");
    case EBUSY:
        return QStringLiteral("another save of the file is running");
    case ENOSPC:
        return QStringLiteral("no space left on the device");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("disk quota exceeded");
#endif
    case EFBIG:
        return QStringLiteral("too large for the file or its tag");
    case EIO:
        return QStringLiteral("input/output error");
    case EINVAL:
        return QStringLiteral("year or track is not a whole number from 0 to 2147483647");
    case EILSEQ:
        return QStringLiteral("the name cannot be passed on");
    case QUILLET_ENOTAUDIO:
        return QStringLiteral("not an audio file");
    case QUILLET_EDAMAGED:
        return QStringLiteral("the file is damaged: it ends inside its tag");
    default:
        break;
    }
    // Anything else as the system words it, in English: the C locale's texts.
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}
