#include "fileentry.h"

#include "tagrecord.h"

#include <QHash>

FileEntry FileEntry::read(const QString &path)
{
    FileEntry entry;
    entry.path = path;
    TagRecord record;
    record.read(path, &entry.problem);
    for (std::size_t i = 0; i < tagFields.size(); ++i)
        entry.texts[i] = record.text(tagFields[i]);
    entry.audio = record.audioReport();
    const QByteArrayView cover = record.coverView();
    entry.hasCover = !cover.isEmpty();
    entry.coverId = coverIdOf(cover);
    return entry;
}

quint64 FileEntry::coverIdOf(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return 0;
    // Seeded with the size; never 0, which stands for no cover.
    return quint64(qHash(bytes, std::size_t(bytes.size()))) | 1;
}
