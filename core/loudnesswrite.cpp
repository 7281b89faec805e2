#include "loudness.h"

#include "tagrecord.h"

#include <cerrno>

namespace loudness {

int writeTags(const QString &path, const QList<Tag> &tags, QString *reason)
{
    TagChanges changes;
    for (const Tag &tag : tags)
        changes.set(tag.key, {tag.value});
    if (changes.save(path, reason) == 0)
        return 0;
    return errno;
}

} // namespace loudness
