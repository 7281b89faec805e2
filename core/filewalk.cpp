#include "filewalk.h"

#include "audiofiles.h"
#include "saveguard.h"
#include "widetext.h"

#include <QSet>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Walk
{
    QList<FileItem> items;
    QSet<QString> visited; // folders by their canonical path
};

// Names are taken as the system gives them, in bytes: a name that is not UTF-8 is walked like
// any other (Qt's own folder listing would decode it with a loss, and the file could then not be
// found by that name).
void walkFolder(const fs::path &folder, Walk &walk)
{
    // The canonical path is the same whichever link led here, so a loop ends at once.
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    if (error || walk.visited.contains(fromFilesystemPath(canonical)))
        return;
    walk.visited.insert(fromFilesystemPath(canonical));

    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    if (error) {
        walk.items.append({fromFilesystemPath(folder), QStringLiteral("cannot read this folder")});
        return;
    }
    removeLeftJournals(fromFilesystemPath(folder));
    // In order of name, so that of two ways into one folder the same one is always taken.
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return a.path().filename() < b.path().filename();
    });
    for (const fs::directory_entry &entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.front() == '.')
            continue; // hidden
        std::error_code statError;
        // Broken links too are listed, so that a file that vanished is reported, not skipped.
        if (entry.is_directory(statError))
            walkFolder(entry.path(), walk);
        else if (audiofiles::isAudioFileName(fromFilesystemPath(entry.path().filename())))
            walk.items.append({fromFilesystemPath(entry.path()), QString()});
    }
}

} // namespace

QList<FileItem> collectFiles(const QStringList &arguments)
{
    QList<FileItem> items;
    for (const QString &argument : arguments) {
        std::error_code error;
        if (!fs::is_directory(filesystemPath(argument), error)) {
            // Whether it exists is for the command to find out, in its turn.
            items.append({argument, QString()});
            continue;
        }
        Walk walk;
        walkFolder(filesystemPath(argument), walk);
        std::sort(walk.items.begin(), walk.items.end(),
                  [](const FileItem &a, const FileItem &b) { return a.path < b.path; });
        for (FileItem &item : walk.items)
            item.root = argument;
        items.append(walk.items);
    }
    return items;
}

QList<FileItem> withoutRepeats(const QList<FileItem> &items)
{
    QList<FileItem> unique;
    QSet<QString> seen;
    for (const FileItem &item : items) {
        std::error_code error;
        const QString canonical
                = fromFilesystemPath(fs::canonical(filesystemPath(item.path), error));
        if (item.error.isEmpty() && !error) {
            if (seen.contains(canonical))
                continue;
            seen.insert(canonical);
        }
        unique.append(item);
    }
    return unique;
}
