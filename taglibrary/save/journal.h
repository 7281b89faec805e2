// The rollback journal of a save made in place: the original bytes of every range the save
// overwrites, kept in ".<name>.quillet-journal" beside the file until the file is complete. A
// save that replaces the file by a copy holds one too, without records, marked as guarding a
// copy: so every running save, and every save cut off, shows in that one name.
//
// Format, all numbers little-endian:
//   header (64 bytes): the magic "QUILLETJ", the version (u32, 1), flags (u32; 1: guards a
//     copy, never applied), the file's device and inode (u64 each), its size before the save
//     (u64), the count of records (u64), the bytes of records that follow (u64), and a checksum
//     (u64) of the header's first 56 bytes and everything that follows it;
//   records, in ascending order and not overlapping: offset (u64), length (u64), then the
//     original bytes.
// The checksum is 64-bit FNV-1a over 8-byte words. A journal whose checksum is wrong was cut off
// while it was written, before anything of the file was overwritten.
#ifndef QUILLET_SAVE_JOURNAL_H
#define QUILLET_SAVE_JOURNAL_H

#include "fileio.h"
#include "plan.h"
#include "target.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quillet {

class Journal
{
public:
    struct Record
    {
        long long offset; // in the file
        long long size;
        long long at; // where its bytes begin in the journal
    };

    enum class State {
        None, // there is no journal
        Live, // a running save holds it
        Stale, // incomplete, damaged, made for another file or by someone who could not have
               // written the file: nothing of the file was overwritten under it
        Complete, // a save of this file was cut off: the records hold what it overwrote (or,
                  // guarding a copy, nothing of the file was written)
        InTheWay, // something that cannot be read or judged has the journal's name
    };

    // Writes the journal for saving in place at place: created anew (never over another), locked
    // for as long as the returned object lives, with the original bytes of ranges read through
    // file, flushed together with its folder. Null on any failure; nothing is left behind then.
    static std::unique_ptr<Journal> create(const JournalPlace &place, int file,
                                           const std::vector<Range> &ranges);
    // The journal of a save that writes a copy: no records, nothing ever to apply.
    static std::unique_ptr<Journal> createForCopy(const JournalPlace &place, int file);

    // Looks for the journal of file at place. journal is set for Live and Complete ones (for a
    // Live one only when it is already complete), and for Stale ones that can be removed.
    static State find(const JournalPlace &place, const struct stat &file,
                      std::unique_ptr<Journal> &journal);

    // Writes the original bytes back into file, cuts it to its old size and flushes it.
    bool applyTo(int file) const;
    // Takes the journal's lock for removing it: false when a save holds it.
    bool takeOver();
    // Removes the journal (held by this process) and flushes the folder; true too when its name
    // no longer leads to it.
    bool remove();

    bool guardsCopy() const { return m_guardsCopy; }
    int fd() const { return m_fd.get(); }
    long long oldSize() const { return m_oldSize; }
    const std::vector<Record> &records() const { return m_records; }

private:
    Journal(Descriptor fd, const JournalPlace &place);
    static std::unique_ptr<Journal> write(const JournalPlace &place, int file,
                                          const std::vector<Range> &ranges, std::uint32_t flags);
    bool read(const struct stat &file);
    bool readRecords(const unsigned char *header, const struct stat &file, long long end);
    bool stillNamed() const;

    Descriptor m_fd;
    JournalPlace m_place;
    long long m_oldSize = 0;
    bool m_guardsCopy = false;
    std::vector<Record> m_records;
};

// Removes the name if it is a symbolic link, which no save makes: a journal or copy is never
// followed.
void removeIfLink(const std::string &path);

} // namespace quillet

#endif // QUILLET_SAVE_JOURNAL_H
