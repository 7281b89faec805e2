#include "filewalk.h"

#include "audiofiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

struct Walk
{
    QList<FileItem> items;
    QSet<QString> visited; // folders by their canonical path
};

void walkFolder(const QString &folder, Walk &walk)
{
    // The canonical path is the same whichever link led here, so a loop ends at once.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || walk.visited.contains(canonical))
        return;
    walk.visited.insert(canonical);

    const QDir dir(folder);
    if (!QFileInfo(folder).isReadable() || !dir.isReadable()) {
        walk.items.append({folder, QStringLiteral("cannot read this folder")});
        return;
    }
    // System: broken links too, so that a file that vanished is reported, not skipped.
    QFileInfoList entries = dir.entryInfoList(
            QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    // In order of name, so that of two ways into one folder the same one is always taken.
    std::sort(entries.begin(), entries.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return a.fileName() < b.fileName(); });
    for (const QFileInfo &entry : entries) {
        if (entry.isDir())
            walkFolder(entry.filePath(), walk);
        else if (audiofiles::isAudioFileName(entry.fileName()))
            walk.items.append({entry.filePath(), QString()});
    }
}

} // namespace

QList<FileItem> collectFiles(const QStringList &arguments)
{
    QList<FileItem> items;
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        if (!info.isDir()) {
            // Whether it exists is for the command to find out, in its turn.
            items.append({argument, QString()});
            continue;
        }
        Walk walk;
        walkFolder(argument, walk);
        std::sort(walk.items.begin(), walk.items.end(),
                  [](const FileItem &a, const FileItem &b) { return a.path < b.path; });
        items.append(walk.items);
    }
    return items;
}
