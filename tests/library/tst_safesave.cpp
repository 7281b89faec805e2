// How saveTag writes: killed saves, failed writes, read-only files and folders, links, and what
// a replaced file keeps. Results are read back with TagLib directly.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <taglib/apetag.h>
#include <taglib/audioproperties.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "childprocess.h"
#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

constexpr int megabyte = 1024 * 1024;

bool setAge(const QString &path, int seconds)
{
    const timespec when[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), when, AT_SYMLINK_NOFOLLOW) == 0;
}

// How a save writes the file that the kill test cuts off.
enum class Way {
    Copy, // the tag grows: a copy is renamed over the file
    InPlace, // a cover of the same size replaced: more than 10 MB overwritten under a journal
    HardLink, // the tag grows in a file with two names: rewritten under a journal
};

// Where a child's save is stopped: once the file beside it (copy or journal) holds a share of
// what it will hold, after a share of the time a whole save takes, or some milliseconds after
// the file itself began to change.
struct Moment
{
    double written = -1;
    double time = -1;
    int afterChange = -1;
};

bool operator!=(const timespec &a, const timespec &b)
{
    return a.tv_sec != b.tv_sec || a.tv_nsec != b.tv_nsec;
}

} // namespace

// Why nothing may be made beside the file that a save writes.
enum class Obstacle {
    NoWriteBit, // on the folder
    OthersFolder,
    Fifo, // at the journal's name
    Folder,
    StrangersJournal, // in a sticky folder
};

Q_DECLARE_METATYPE(Way)
Q_DECLARE_METATYPE(Obstacle)

class SafeSaveTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void killedSaveLeavesOldOrNewFile_data();
    void killedSaveLeavesOldOrNewFile();
    void sizeLimitFailsCleanly_data();
    void sizeLimitFailsCleanly();

    void readOnlyFileIsRejected_data();
    void readOnlyFileIsRejected();
    void nothingMayBeMadeBeside_data();
    void nothingMayBeMadeBeside();

    void symbolicLinkIsFollowed();
    void linkNameGivesTheKind();
    void danglingLinkIsRejected();
    void hardLinkedFileStaysOneFile_data();
    void hardLinkedFileStaysOneFile();
    void stickyFolderFileIsWrittenInPlace();

    void permissionBitsAreKept_data();
    void permissionBitsAreKept();
    void ownerAndGroupAreKept();
    void extendedAttributesAreKept();
    void staleCopiesAreRemoved();
    void copyOfRunningSaveIsLeftAlone();
    void longNameIsSaved();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void SafeSaveTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void SafeSaveTest::cleanup()
{
    // Read-only folders from a test must not keep the temporary folder from being removed.
    for (const QString &entry : entriesOf(m_dir->path()))
        setMode(m_dir->filePath(entry), 0755);
    m_dir.reset();
}

void SafeSaveTest::killedSaveLeavesOldOrNewFile_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("copy and rename, the tag grows") << Way::Copy;
    QTest::newRow("in place, 12 MB of cover replaced") << Way::InPlace;
    QTest::newRow("hard-linked, the tag grows") << Way::HardLink;
}

void SafeSaveTest::killedSaveLeavesOldOrNewFile()
{
    QFETCH(Way, way);
    // A reader that may write neither the file nor its folder must see the old or new file too.
    QVERIFY(setMode(m_dir->path(), 0755));
    const QString folder = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/long.mp3");
    const QString other = folder + QStringLiteral("/other.mp3");
    const QByteArray oldCover
            = way == Way::InPlace ? coverBytes("old-cover", 12 * megabyte) : QByteArray();
    const QByteArray cover = way == Way::InPlace ? coverBytes("new-cover", 12 * megabyte)
                                                 : coverBytes("killed", 16 * megabyte);
    QVERIFY(makeLongMpeg(path, 24 * megabyte, oldCover));
    QVERIFY(setMode(path, 0644));
    if (way == Way::HardLink)
        QVERIFY(link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData())
                == 0);
    const QStringList names = entriesOf(folder);
    const QByteArray oldBytes = readAll(path);
    const int oldLength = lengthInMilliseconds(path);
    QVERIFY(oldLength > 0);

    // The complete new file, from a save that runs to its end.
    const QString reference = m_dir->filePath(QStringLiteral("long.mp3"));
    QVERIFY(QFile::copy(path, reference));
    const ino_t referenceInode = statOf(reference).st_ino;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(save(reference, record(), cover), 0);
    const qint64 saveTime = std::max<qint64>(clock.elapsed(), 1);
    const QByteArray newBytes = readAll(reference);
    QCOMPARE(mpegPictures(reference).value(0).bytes, cover);
    QCOMPARE(lengthInMilliseconds(reference), oldLength);
    QCOMPARE(statOf(reference).st_ino == referenceInode, way == Way::InPlace);

    const QString beside = way == Way::Copy ? copyOf(path) : journalOf(path);
    const qint64 besideSize = way == Way::Copy ? newBytes.size()
            : way == Way::InPlace              ? cover.size()
                                               : oldBytes.size();
    QList<Moment> moments = {{0.0, -1}, {0.5, -1}, {1.0, -1}};
    for (int tenth = 1; tenth <= 15; tenth += 2)
        moments.append({-1, tenth / 10.0});
    for (const int ms : {0, 0, 1, 2, 4})
        moments.append({-1, -1, ms});
    int leftBehind = 0;
    int torn = 0;
    for (const Moment &moment : moments) {
        if (readAll(path) != oldBytes)
            QVERIFY(writeAll(path, oldBytes));

        const timespec unchanged = statOf(path).st_mtim;
        qint64 changedAt = -1;
        runUntil([&] { return save(path, record(), cover) == 0 ? 0 : 1; },
                 [&](qint64 elapsed) {
                     if (moment.time >= 0)
                         return elapsed >= moment.time * saveTime;
                     if (moment.afterChange >= 0) {
                         if (changedAt < 0 && statOf(path).st_mtim != unchanged)
                             changedAt = elapsed;
                         return changedAt >= 0 && elapsed >= changedAt + moment.afterChange;
                     }
                     const QFileInfo written(beside);
                     return written.exists() && written.size() >= moment.written * besideSize;
                 });
        const QString at = QStringLiteral("written %1, time %2, after a change %3 ms")
                                   .arg(moment.written)
                                   .arg(moment.time)
                                   .arg(moment.afterChange);
        if (entriesOf(folder) != names)
            ++leftBehind;
        const QByteArray cut = readAll(path);
        if (cut != oldBytes && cut != newBytes)
            ++torn;

        if (geteuid() == 0) {
            const std::optional<int> seen = runInChild(
                    [&] {
                        const ReadResult found = read(path);
                        const QString title = fromWide(found.tag.title);
                        if (title == QLatin1String("old title") && found.picture == oldCover)
                            return 0;
                        return title == recordTitle && found.picture == cover ? 1 : 2;
                    },
                    ChildRights::Unprivileged);
            QVERIFY2(seen == 0 || seen == 1, qPrintable(at));
        }

        // The next readTag finds the file old or new, with nothing left beside it.
        read(path);
        const QByteArray bytes = readAll(path);
        QVERIFY2(bytes == oldBytes || bytes == newBytes, qPrintable(at));
        QCOMPARE(entriesOf(folder), names);
        if (way == Way::HardLink)
            QCOMPARE(statOf(other).st_ino, statOf(path).st_ino);
        if (bytes == newBytes)
            QCOMPARE(lengthInMilliseconds(path), oldLength);
    }
    qInfo("%d of %d kills left a journal or copy for readTag, %d of them a file cut in the middle",
          leftBehind, int(moments.size()), torn);
}

void SafeSaveTest::sizeLimitFailsCleanly_data()
{
    QTest::addColumn<bool>("hardLinked");
    QTest::addColumn<bool>("padded");
    QTest::addColumn<qint64>("limitBeyondOriginal");
    QTest::newRow("copy stops half-way") << false << false << qint64(100000);
    QTest::newRow("copy stops at once") << false << false << qint64(-1000);
    QTest::newRow("hard link, tag grows") << true << false << qint64(100000);
    // The ID3v2 tag fits its old room; only the APE tag at the end grows the file.
    QTest::newRow("hard link, file grows at the end") << true << true << qint64(64);
}

void SafeSaveTest::sizeLimitFailsCleanly()
{
    QFETCH(bool, hardLinked);
    QFETCH(bool, padded);
    QFETCH(qint64, limitBeyondOriginal);
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    QByteArray cover = coverBytes("limit", 200000);
    if (padded) {
        // An ID3v2 tag holding the cover that the save keeps, and a short APE tag at the end.
        QVERIFY(addPictures(path, {{3, QStringLiteral("image/jpeg"), QString(), cover}}));
        TagLib::MPEG::File strip(fileNameBytes(path).constData());
        strip.APETag(true)->setTitle("t");
        QVERIFY(strip.save(TagLib::MPEG::File::ID3v2 | TagLib::MPEG::File::APE,
                           TagLib::File::StripOthers));
        cover.clear();
    }
    if (hardLinked)
        QVERIFY(link(QFile::encodeName(path).constData(),
                     QFile::encodeName(m_dir->filePath(QStringLiteral("other.mp3"))).constData())
                == 0);
    const QByteArray before = readAll(path);
    const QStringList entries = entriesOf(m_dir->path());
    const rlim_t limit = static_cast<rlim_t>(before.size() + limitBeyondOriginal);

    const std::optional<int> result = runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit size {limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &size) != 0)
            return 1;
        return save(path, record(), cover) == 0 ? 0 : errno;
    });

    QVERIFY(result.has_value());
    QCOMPARE(*result, EFBIG);
    QVERIFY(readAll(path) == before);
    QCOMPARE(entriesOf(m_dir->path()), entries);
    // Without the limit the same save succeeds.
    QCOMPARE(save(path, record(), cover), 0);
}

void SafeSaveTest::readOnlyFileIsRejected_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("unprivileged");
    QTest::newRow("no write bit") << 0444 << false;
    QTest::newRow("executable, no write bit") << 0555 << false;
    QTest::newRow("no bit at all") << 0000 << false;
    QTest::newRow("another user's file") << 0644 << true;
}

void SafeSaveTest::readOnlyFileIsRejected()
{
    QFETCH(int, mode);
    QFETCH(bool, unprivileged);
    if (unprivileged && geteuid() != 0)
        QSKIP("needs root to run the save as another user");
    QVERIFY(setMode(m_dir->path(), 0777));
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const QByteArray before = readAll(path);
    QVERIFY(setMode(path, static_cast<mode_t>(mode)));
    const QStringList entries = entriesOf(m_dir->path());

    const std::optional<int> result
            = runInChild([&] { return save(path, record(), coverBytes("new")); },
                         unprivileged ? ChildRights::Unprivileged : ChildRights::Same);

    QVERIFY(result.has_value());
    QCOMPARE(*result, -1);
    QVERIFY(setMode(path, 0644));
    QVERIFY(readAll(path) == before);
    QCOMPARE(entriesOf(m_dir->path()), entries);
}

void SafeSaveTest::nothingMayBeMadeBeside_data()
{
    QTest::addColumn<Obstacle>("obstacle");
    QTest::newRow("a folder without a write bit") << Obstacle::NoWriteBit;
    QTest::newRow("another user's folder") << Obstacle::OthersFolder;
    QTest::newRow("a FIFO at the journal's name") << Obstacle::Fifo;
    QTest::newRow("a folder at the journal's name") << Obstacle::Folder;
    QTest::newRow("a stranger's journal in a sticky folder") << Obstacle::StrangersJournal;
}

void SafeSaveTest::nothingMayBeMadeBeside()
{
    QFETCH(Obstacle, obstacle);
    const bool unprivileged
            = obstacle == Obstacle::OthersFolder || obstacle == Obstacle::StrangersJournal;
    if (unprivileged && geteuid() != 0)
        QSKIP("needs root to run the save as another user");
    QVERIFY(setMode(m_dir->path(), 0755));
    const QString state = m_dir->filePath(QStringLiteral("state"));
    QVERIFY(QDir().mkpath(state) && setMode(state, 0777));
    const QString path
            = copyFixture(*m_dir, QStringLiteral("tone.mp3"), QStringLiteral("folder/tone.mp3"));
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray journal = QFile::encodeName(journalOf(path));
    // The file itself may be written by anybody: it is saved in place, its journal kept in the
    // user's state folder.
    QVERIFY(setMode(path, 0666));
    if (obstacle == Obstacle::NoWriteBit)
        QVERIFY(setMode(folder, 0555));
    if (obstacle == Obstacle::Fifo)
        QVERIFY(mkfifo(journal.constData(), 0644) == 0);
    if (obstacle == Obstacle::Folder)
        QVERIFY(mkdir(journal.constData(), 0755) == 0);
    if (obstacle == Obstacle::StrangersJournal) {
        // Only root, the folder's owner or the journal's may remove it from a sticky folder.
        QVERIFY(writeAll(journalOf(path), "QUILLETJ junk") && setMode(folder, 01777));
        QVERIFY(chown(journal.constData(), unprivilegedId - 1, unprivilegedId - 1) == 0);
        QVERIFY(chown(QFile::encodeName(path).constData(), unprivilegedId, unprivilegedId) == 0);
    }
    const QStringList entries = entriesOf(folder);

    const std::optional<int> result = runInChild(
            [&] {
                qputenv("XDG_STATE_HOME", QFile::encodeName(state));
                return save(path, record(), coverBytes("new"));
            },
            unprivileged ? ChildRights::Unprivileged : ChildRights::Same);

    QCOMPARE(result, std::optional<int>(0));
    QCOMPARE(fieldsOf(path).title, recordTitle);
    QCOMPARE(entriesOf(folder), entries);
    QCOMPARE(entriesOf(state + QStringLiteral("/quillet")), QStringList());
}

void SafeSaveTest::symbolicLinkIsFollowed()
{
    const QString target
            = copyFixture(*m_dir, QStringLiteral("tone.mp3"), QStringLiteral("music/real.mp3"));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("links"))));
    const QString link = m_dir->filePath(QStringLiteral("links/song.mp3"));
    QVERIFY(symlink("../music/real.mp3", QFile::encodeName(link).constData()) == 0);
    const QByteArray cover = coverBytes("linked");

    QCOMPARE(save(link, record(), cover), 0);

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFile::symLinkTarget(link), target);
    char text[64] = {};
    QVERIFY(readlink(QFile::encodeName(link).constData(), text, sizeof text - 1) > 0);
    QCOMPARE(QByteArray(text), QByteArray("../music/real.mp3"));
    QCOMPARE(fieldsOf(target).title, recordTitle);
    QCOMPARE(mpegPictures(target).value(0).bytes, cover);
    QCOMPARE(entriesOf(m_dir->filePath(QStringLiteral("links"))), QStringList {"song.mp3"});
    QCOMPARE(entriesOf(m_dir->filePath(QStringLiteral("music"))), QStringList {"real.mp3"});
}

void SafeSaveTest::linkNameGivesTheKind()
{
    // The kind of file comes from the name it is saved under, as for any other path.
    const QString target
            = copyFixture(*m_dir, QStringLiteral("tone.mp3"), QStringLiteral("audio.data"));
    const QString link = m_dir->filePath(QStringLiteral("song.mp3"));
    QVERIFY(symlink("audio.data", QFile::encodeName(link).constData()) == 0);
    const QByteArray cover = coverBytes("kind");

    QCOMPARE(save(link, record(), cover), 0);

    QCOMPARE(mpegPictures(link).value(0).bytes, cover);
    QVERIFY(QFileInfo(link).isSymLink());
}

void SafeSaveTest::danglingLinkIsRejected()
{
    const QString link = m_dir->filePath(QStringLiteral("gone.mp3"));
    QVERIFY(symlink("missing.mp3", QFile::encodeName(link).constData()) == 0);

    QCOMPARE(save(link, record(), coverBytes("new")), -1);

    QCOMPARE(entriesOf(m_dir->path()), QStringList {"gone.mp3"});
}

void SafeSaveTest::hardLinkedFileStaysOneFile_data()
{
    QTest::addColumn<bool>("padded");
    QTest::newRow("tag grows") << false;
    QTest::newRow("tag fits its room") << true;
}

void SafeSaveTest::hardLinkedFileStaysOneFile()
{
    QFETCH(bool, padded);
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const QString other = m_dir->filePath(QStringLiteral("other name.mp3"));
    const QByteArray cover = coverBytes("cover", 50000);
    if (padded)
        QCOMPARE(save(path, record(), cover), 0);
    QVERIFY(link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) == 0);
    const ino_t inode = statOf(path).st_ino;
    const qint64 sizeBefore = QFileInfo(path).size();

    // Same lengths of text as before: a tag that had room keeps its size.
    QCOMPARE(save(path, record(QStringLiteral("1980")), padded ? QByteArray() : cover), 0);

    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(statOf(other).st_ino, inode);
    QCOMPARE(statOf(path).st_nlink, nlink_t(2));
    QCOMPARE(fieldsOf(other).title, recordTitle);
    QCOMPARE(fieldsOf(other).year, 1980u);
    QCOMPARE(mpegPictures(other).value(0).bytes, cover);
    if (padded)
        QCOMPARE(QFileInfo(path).size(), sizeBefore);
    QCOMPARE(entriesOf(m_dir->path()), (QStringList {"other name.mp3", "tone.mp3"}));
}

void SafeSaveTest::stickyFolderFileIsWrittenInPlace()
{
    if (geteuid() != 0)
        QSKIP("needs root to hand the folder and the file to another user");
    QVERIFY(setMode(m_dir->path(), 0755));
    const QString path
            = copyFixture(*m_dir, QStringLiteral("tone.mp3"), QStringLiteral("shared/tone.mp3"));
    // Like /tmp: anybody may write the file, but only its owner could replace it.
    QVERIFY(setMode(QFileInfo(path).absolutePath(), 01777));
    QVERIFY(setMode(path, 0666));
    const ino_t inode = statOf(path).st_ino;

    const std::optional<int> result = runInChild(
            [&] { return save(path, record(), coverBytes("shared")); }, ChildRights::Unprivileged);

    QVERIFY(result.has_value());
    QCOMPARE(*result, 0);
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(statOf(path).st_uid, uid_t(0));
    QCOMPARE(fieldsOf(path).title, recordTitle);
}

void SafeSaveTest::permissionBitsAreKept_data()
{
    QTest::addColumn<int>("mode");
    for (const int mode : {0600, 0640, 0644, 0660, 0664, 0666, 0604, 0700, 0755}) {
        QTest::newRow(qPrintable(QString::number(mode, 8))) << mode;
    }
}

void SafeSaveTest::permissionBitsAreKept()
{
    QFETCH(int, mode);
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    QVERIFY(setMode(path, static_cast<mode_t>(mode)));
    const ino_t inode = statOf(path).st_ino;

    QCOMPARE(save(path, record(), coverBytes("mode")), 0);

    QCOMPARE(int(statOf(path).st_mode & 07777), mode);
    // The file was replaced by its checked copy, not rewritten in place.
    QVERIFY(statOf(path).st_ino != inode);
    QCOMPARE(entriesOf(m_dir->path()), QStringList {"tone.mp3"});
}

void SafeSaveTest::ownerAndGroupAreKept()
{
    if (geteuid() != 0)
        QSKIP("only root may give a file to another user");
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    QVERIFY(chown(QFile::encodeName(path).constData(), unprivilegedId, unprivilegedId) == 0);

    QCOMPARE(save(path, record(), coverBytes("owner")), 0);

    QCOMPARE(statOf(path).st_uid, uid_t(unprivilegedId));
    QCOMPARE(statOf(path).st_gid, gid_t(unprivilegedId));
}

void SafeSaveTest::extendedAttributesAreKept()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const QByteArray name = QFile::encodeName(path);
    if (setxattr(name.constData(), "user.tagdesk.test", "kept", 4, 0) != 0)
        QSKIP("this file system has no user attributes");

    QCOMPARE(save(path, record(), coverBytes("xattr")), 0);

    char value[16] = {};
    QCOMPARE(getxattr(name.constData(), "user.tagdesk.test", value, sizeof value), ssize_t(4));
    QCOMPARE(QByteArray(value), QByteArray("kept"));
}

void SafeSaveTest::staleCopiesAreRemoved()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const QString otherPath = m_dir->filePath(QStringLiteral("other.mp3"));
    // Left by saves that were cut off; one made just now is stale too: no save holds it.
    QVERIFY(writeAll(copyOf(path), "partial copy"));
    QVERIFY(setAge(copyOf(path), 10));
    QVERIFY(writeAll(copyOf(otherPath), "another file's copy"));

    QCOMPARE(save(path, record()), 0);

    QCOMPARE(entriesOf(m_dir->path()), (QStringList {".other.mp3.quillet-copy", "tone.mp3"}));
}

void SafeSaveTest::copyOfRunningSaveIsLeftAlone()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const QByteArray before = readAll(path);
    QVERIFY(writeAll(copyOf(path), "being written"));
    const int held = holdLock(copyOf(path), true);
    QVERIFY(held >= 0);

    QCOMPARE(save(path, record(), coverBytes("new")), -1);
    read(path);

    QCOMPARE(readAll(copyOf(path)), QByteArray("being written"));
    QVERIFY(readAll(path) == before);
    close(held);
}

void SafeSaveTest::longNameIsSaved()
{
    // The names beside the file are cut to fit the longest name a folder may hold.
    const QString name = QString(NAME_MAX - 4, QLatin1Char('n')) + QStringLiteral(".mp3");
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"), name);
    const QByteArray cover = coverBytes("long");

    QCOMPARE(save(path, record(), cover), 0); // the tag grows: a copy
    const ino_t inode = statOf(path).st_ino;
    QCOMPARE(save(path, record(QStringLiteral("1999")), cover), 0); // it fits: in place

    QCOMPARE(fieldsOf(path).title, recordTitle);
    QCOMPARE(fieldsOf(path).year, 1999u);
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(entriesOf(m_dir->path()), QStringList {name});
}

QTEST_GUILESS_MAIN(SafeSaveTest)

#include "tst_safesave.moc"
