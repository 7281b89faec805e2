// Keeps saves away from a file while its name changes, so that no journal is ever left under a
// name the file no longer has. The guard holds the name of the file's journal beside it, locked,
// as a running save does (a save that finds it returns EBUSY), and the file's own lock, which a
// running save holds shared from its start to its end. A journal that a cut-off save left is
// dealt with first, through a read of the file. Cut off itself, the guard leaves an empty
// journal that nobody holds, which the next read or save of the file removes.
#ifndef SAVEGUARD_H
#define SAVEGUARD_H

#include "save/fileio.h"

#include <QByteArray>
#include <QString>

#include <string>

class SaveGuard
{
public:
    SaveGuard() = default;
    ~SaveGuard();

    SaveGuard(const SaveGuard &) = delete;
    SaveGuard &operator=(const SaveGuard &) = delete;

    // 0 once the file at path (its bytes as the system takes them) is held; else the errno:
    // EBUSY while a save of it runs.
    int take(const QByteArray &path);
    void release();

private:
    int tryTake(const QByteArray &path, bool *again);
    int lockFile(const std::string &path);

    quillet::Descriptor m_journal;
    std::string m_journalPath; // empty unless this guard made the journal
    quillet::Descriptor m_file;
};

// Removes from folder (its bytes as the system takes them; empty: the current folder) the
// empty journals that nobody holds: guards cut off left them, under names the files may no
// longer have.
void removeLeftJournals(const QString &folder);

#endif // SAVEGUARD_H
