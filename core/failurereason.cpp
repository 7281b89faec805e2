#include "failurereason.h"

#include "quilletc.h"

#include <cerrno>
#include <cstring>

namespace {

struct Reason
{
    int error;
    const char *text;
};

// The failures a save or a read of one file meets, in the words the programs print.
const Reason reasons[] = {
        {ENOENT, "no such file"},
        {EISDIR, "is a folder"},
        {EACCES, "permission denied"},
        {EPERM, "permission denied"},
        {EROFS, "read-only file system"},
        {EBUSY, "another save of the file is running"},
        {ENOSPC, "no space left on the device"},
#ifdef EDQUOT
        {EDQUOT, "disk quota exceeded"},
#endif
        {EFBIG, "too large for the file or its tag"},
        {EIO, "input/output error"},
        {EINVAL, "year or track is not a whole number from 0 to 2147483647"},
        {EILSEQ, "the name cannot be passed on"},
        {QUILLET_ENOTAUDIO, "not an audio file"},
        {QUILLET_EDAMAGED, "the file is damaged: it ends inside its tag"},
};

} // namespace

QString failureReason(int error)
{
    for (const Reason &reason : reasons) {
        if (reason.error == error)
            return QString::fromLatin1(reason.text);
    }
    // Anything else as the system words it, in English: the C locale's texts.
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}
