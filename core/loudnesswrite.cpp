#include "loudness.h"

#include "tagrecord.h"

#include <QMutex>

#include <cerrno>

namespace loudness {

int writeTags(const QString &path, const QList<Tag> &tags, QString *reason)
{
    // One save at a time: two WAV saves at once under TagLib 2 corrupted the heap now and then
    // (quillet loudness --jobs 2). The measuring, the long part, still runs in parallel.
    static QMutex saving;
    const QMutexLocker locked(&saving);
    TagChanges changes;
    for (const Tag &tag : tags)
        changes.set(tag.key, {tag.value});
    if (changes.save(path, reason) == 0)
        return 0;
    return errno;
}

} // namespace loudness
