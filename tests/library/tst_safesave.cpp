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

// Every entry of a folder, hidden ones included.
QStringList entriesOf(const QString &folder)
{
    QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                 | QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

// The working copies saveTag left in a folder.
QStringList copiesIn(const QString &folder)
{
    QStringList copies;
    for (const QString &entry : entriesOf(folder)) {
        if (entry.startsWith(QLatin1Char('.')) && entry.contains(QLatin1String(".quillet-")))
            copies << entry;
    }
    return copies;
}

struct stat statOf(const QString &path)
{
    struct stat info = {};
    lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

bool setAge(const QString &path, int seconds)
{
    const timespec when[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), when, AT_SYMLINK_NOFOLLOW) == 0;
}

bool setMode(const QString &path, mode_t mode)
{
    return chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// An MP3 file of `size` bytes or a little more: a small ID3v2 tag, then silent MPEG-1 Layer III
// frames (128 kbit/s, 44.1 kHz, 417 bytes each), without a Xing header, so that TagLib takes
// the length from the size of the stream.
bool makeLongMpeg(const QString &path, qint64 size)
{
    TagLib::ID3v2::Tag tag;
    tag.setTitle("old title");
    const TagLib::ByteVector rendered = tag.render();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(rendered.data(), rendered.size());
    QByteArray frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    const QByteArray block = frame.repeated(256);
    while (file.size() < size) {
        if (file.write(block) != block.size())
            return false;
    }
    return file.flush();
}

int lengthInMilliseconds(const QString &path)
{
    const TagLib::MPEG::File file(nativeName(path).constData(), true);
    return file.audioProperties() ? file.audioProperties()->lengthInMilliseconds() : -1;
}

// Where a child's save is stopped: once its working copy holds a share of the new file, or
// after a share of the time a whole save takes.
struct Moment
{
    double copied = -1;
    double time = -1;
};

} // namespace

Q_DECLARE_METATYPE(Moment)

class SafeSaveTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void killedSaveLeavesOldOrNewFile();
    void sizeLimitFailsCleanly_data();
    void sizeLimitFailsCleanly();

    void readOnlyFileIsRejected_data();
    void readOnlyFileIsRejected();
    void readOnlyFolderIsRejected_data();
    void readOnlyFolderIsRejected();

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

void SafeSaveTest::killedSaveLeavesOldOrNewFile()
{
    const QString folder = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/long.mp3");
    QVERIFY(makeLongMpeg(path, 24 * megabyte));
    const QByteArray oldBytes = readAll(path);
    const int oldLength = lengthInMilliseconds(path);
    QVERIFY(oldLength > 0);
    const QByteArray cover = coverBytes("killed", 16 * megabyte);

    // The complete new file, from a save that runs to its end.
    const QString reference = m_dir->filePath(QStringLiteral("long.mp3"));
    QVERIFY(QFile::copy(path, reference));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(save(reference, record(), cover), 0);
    const qint64 saveTime = std::max<qint64>(clock.elapsed(), 1);
    const QByteArray newBytes = readAll(reference);
    QCOMPARE(mpegPictures(reference).value(0).bytes, cover);
    QCOMPARE(lengthInMilliseconds(reference), oldLength);
    QVERIFY(newBytes.size() > oldBytes.size() + cover.size());

    // Kills while the copy is being written, and at moments spread over a whole save.
    QList<Moment> moments = {{0.0, -1}, {0.25, -1}, {0.5, -1}, {0.75, -1}, {1.0, -1}};
    for (int tenth = 1; tenth <= 15; ++tenth)
        moments.append({-1, tenth / 10.0});
    int leftBehind = 0;
    for (const Moment &moment : moments) {
        if (readAll(path) != oldBytes)
            QVERIFY(writeAll(path, oldBytes));

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0)
            _exit(save(path, record(), cover) == 0 ? 0 : 1);
        clock.restart();
        bool finished = false;
        while (!finished) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                finished = true;
                break;
            }
            if (moment.time >= 0 && clock.elapsed() >= moment.time * saveTime)
                break;
            if (moment.copied >= 0) {
                const QStringList copies = copiesIn(folder);
                if (!copies.isEmpty()
                    && QFileInfo(folder + QLatin1Char('/') + copies.first()).size()
                            >= moment.copied * newBytes.size())
                    break;
            }
            usleep(100);
        }
        if (!finished) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }

        const QByteArray bytes = readAll(path);
        const QStringList copies = copiesIn(folder);
        const QString at = QStringLiteral("copied %1, time %2").arg(moment.copied).arg(moment.time);
        QVERIFY2(bytes == oldBytes || bytes == newBytes, qPrintable(at));
        if (bytes == newBytes) {
            QVERIFY2(copies.isEmpty(), qPrintable(at));
            QCOMPARE(mpegPictures(path).value(0).bytes, cover);
            QCOMPARE(lengthInMilliseconds(path), oldLength);
            continue;
        }
        if (copies.isEmpty())
            continue;
        // Killed between copy and rename: the copy stays until a later save of the file finds
        // it old enough to belong to no running save.
        ++leftBehind;
        QCOMPARE(copies.size(), 1);
        QVERIFY(setAge(folder + QLatin1Char('/') + copies.first(), 3600));
        QCOMPARE(save(path, record(), cover), 0);
        QCOMPARE(copiesIn(folder), QStringList());
        QVERIFY(readAll(path) == newBytes);
    }
    qInfo("%d of %d kills left a working copy behind", leftBehind, int(moments.size()));
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
        TagLib::MPEG::File strip(nativeName(path).constData());
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
        return save(path, record(), cover);
    });

    QVERIFY(result.has_value());
    QCOMPARE(*result, -1);
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

void SafeSaveTest::readOnlyFolderIsRejected_data()
{
    QTest::addColumn<bool>("unprivileged");
    QTest::newRow("no write bit") << false;
    QTest::newRow("another user's folder") << true;
}

void SafeSaveTest::readOnlyFolderIsRejected()
{
    QFETCH(bool, unprivileged);
    if (unprivileged && geteuid() != 0)
        QSKIP("needs root to run the save as another user");
    QVERIFY(setMode(m_dir->path(), 0755));
    const QString path
            = copyFixture(*m_dir, QStringLiteral("tone.mp3"), QStringLiteral("folder/tone.mp3"));
    const QString folder = QFileInfo(path).absolutePath();
    // The file itself may be written by anybody: only the folder forbids replacing it.
    QVERIFY(setMode(path, 0666));
    QVERIFY(setMode(folder, unprivileged ? 0755 : 0555));
    const QByteArray before = readAll(path);
    const QStringList entries = entriesOf(folder);

    const std::optional<int> result
            = runInChild([&] { return save(path, record(), coverBytes("new")); },
                         unprivileged ? ChildRights::Unprivileged : ChildRights::Same);

    QVERIFY(result.has_value());
    QCOMPARE(*result, -1);
    QVERIFY(readAll(path) == before);
    QCOMPARE(entriesOf(folder), entries);
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
    const auto leave = [this](const QString &name, int age) {
        const QString copy = m_dir->filePath(name);
        return writeAll(copy, "partial copy") && setAge(copy, age);
    };
    QVERIFY(leave(QStringLiteral(".tone.mp3.quillet-Ab12Cd"), 3600)); // stale: removed
    QVERIFY(leave(QStringLiteral(".tone.mp3.quillet-Fresh1"), 10)); // a save may be running
    QVERIFY(leave(QStringLiteral(".tone.mp3.quillet-TooLong1"), 3600)); // not a name of ours
    QVERIFY(leave(QStringLiteral(".other.mp3.quillet-Xy34Zw"), 3600)); // another file's

    QCOMPARE(save(path, record()), 0);

    QCOMPARE(entriesOf(m_dir->path()),
             (QStringList {".other.mp3.quillet-Xy34Zw", ".tone.mp3.quillet-Fresh1",
                           ".tone.mp3.quillet-TooLong1", "tone.mp3"}));
}

void SafeSaveTest::longNameIsSaved()
{
    // The name of the working copy is cut to fit the longest name a folder may hold.
    const QString name = QString(NAME_MAX - 4, QLatin1Char('n')) + QStringLiteral(".mp3");
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"), name);
    const QString stale
            = QLatin1Char('.') + name.left(NAME_MAX - 16) + QStringLiteral(".quillet-Ab12Cd");
    QVERIFY(writeAll(m_dir->filePath(stale), "partial copy"));
    QVERIFY(setAge(m_dir->filePath(stale), 3600));

    QCOMPARE(save(path, record(), coverBytes("long")), 0);

    QCOMPARE(fieldsOf(path).title, recordTitle);
    QCOMPARE(entriesOf(m_dir->path()), QStringList {name});
}

QTEST_GUILESS_MAIN(SafeSaveTest)

#include "tst_safesave.moc"
