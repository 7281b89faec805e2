// What readTag and saveTag do with a journal left beside a file by a save that was cut off:
// applied when it is complete and the file's, removed unread when it is not, left alone while
// a save holds it; and how little a fitting save writes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <QtEndian>

#include <functional>
#include <memory>

#include <unistd.h>

#include "childprocess.h"
#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

constexpr int megabyte = 1024 * 1024;
const QString oldTitle = QStringLiteral("old title");

// What happened to the journal, or around it, after the save was cut off.
enum class Left {
    AsItWas,
    CutShort,
    ByteChanged,
    FileReplaced,
    SymbolicLink,
    HeldBySave,
    OldSizeAboveFile,
    OldSizeHuge,
    RecordBeyondOldSize,
    RecordBeyondCutFile,
    LargeSparse,
    // Root acts as another user in these.
    MadeByAnotherUser,
    ReadByAnotherUser,
    StrangerInSetgidFolder,
    KilledInStateFolder, // of a save by a user who may not write the folder
};

// The journal's checksum: FNV-1a over little-endian 8-byte words, then the bytes left over.
quint64 checksumOf(const QByteArray &bytes)
{
    const quint64 prime = 0x100000001b3ULL;
    quint64 hash = 0xcbf29ce484222325ULL;
    const int words = bytes.size() / 8 * 8;
    for (int at = 0; at < words; at += 8)
        hash = (hash ^ qFromLittleEndian<quint64>(bytes.constData() + at)) * prime;
    for (int at = words; at < bytes.size(); ++at)
        hash = (hash ^ quint8(bytes[at])) * prime;
    return (hash ^ quint64(bytes.size() - words)) * prime;
}

// Gives a journal another old size, with a checksum to match; or, from sparseFrom on, a record
// up to the old size whose bytes are a hole, and the checksum as it was.
bool patchJournal(const QString &journal, quint64 oldSize, qint64 sparseFrom = -1)
{
    QByteArray bytes = readAll(journal);
    qToLittleEndian(oldSize, bytes.data() + 32);
    if (sparseFrom < 0) {
        qToLittleEndian(checksumOf(bytes.left(56) + bytes.mid(64)), bytes.data() + 56);
        return writeAll(journal, bytes);
    }
    const quint64 length = oldSize - quint64(sparseFrom);
    qToLittleEndian(qFromLittleEndian<quint64>(bytes.constData() + 40) + 1, bytes.data() + 40);
    qToLittleEndian(quint64(bytes.size() - 64 + 16) + length, bytes.data() + 48);
    QByteArray record(16, '\0');
    qToLittleEndian(quint64(sparseFrom), record.data());
    qToLittleEndian(length, record.data() + 8);
    return writeAll(journal, bytes + record) && QFile::resize(journal, bytes.size() + 16 + length);
}

// Adds a record of original bytes at offset to a journal, its checksum to match.
bool addRecord(const QString &journal, quint64 offset, const QByteArray &original)
{
    QByteArray bytes = readAll(journal);
    qToLittleEndian(qFromLittleEndian<quint64>(bytes.constData() + 40) + 1, bytes.data() + 40);
    qToLittleEndian(quint64(bytes.size() - 64 + 16 + original.size()), bytes.data() + 48);
    QByteArray record(16, '\0');
    qToLittleEndian(offset, record.data());
    qToLittleEndian(quint64(original.size()), record.data() + 8);
    bytes += record + original;
    qToLittleEndian(checksumOf(bytes.left(56) + bytes.mid(64)), bytes.data() + 56);
    return writeAll(journal, bytes);
}

// Leaves the complete journal of a fitting save of path, cut off before the file was written:
// while a reader holds the file, the save writes its journal and then waits. asSaver prepares
// the saving child.
bool leaveJournal(
        const QString &path, const QString &journal,
        const std::function<bool()> &asSaver = [] { return true; })
{
    const int reader = holdLock(path, false);
    if (reader < 0)
        return false;
    qint64 lastSize = -1;
    qint64 stableSince = 0;
    const bool finished
            = runUntil([&] { return asSaver() && save(path, record()) == 0 ? 0 : 1; },
                       [&](qint64 elapsed) {
                           const QFileInfo info(journal);
                           const qint64 size = info.exists() ? info.size() : -1;
                           if (size != lastSize) {
                               lastSize = size;
                               stableSince = elapsed;
                           }
                           return (size > 0 && elapsed - stableSince >= 300) || elapsed > 10000;
                       });
    close(reader);
    return !finished && QFileInfo::exists(journal);
}

// A count of this process's input and output: "write_bytes" to storage, "rchar" read; or -1.
qint64 ioCount(const QByteArray &name = "write_bytes")
{
    const QList<QByteArray> lines = readAll(QStringLiteral("/proc/self/io")).split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(Left)

class JournalTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void leftJournal_data();
    void leftJournal();
    void fittingSaveWritesOnlyWhatChanged();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void JournalTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Readers of another user must reach the files.
    QVERIFY(setMode(m_dir->path(), 0755));
}

void JournalTest::cleanup()
{
    m_dir.reset();
}

void JournalTest::leftJournal_data()
{
    QTest::addColumn<Left>("left");
    QTest::addColumn<bool>("applied");
    QTest::newRow("complete: the file goes back") << Left::AsItWas << true;
    QTest::newRow("incomplete: cut short") << Left::CutShort << false;
    QTest::newRow("incomplete: a byte changed") << Left::ByteChanged << false;
    QTest::newRow("another inode: the file was replaced") << Left::FileReplaced << false;
    QTest::newRow("a symbolic link") << Left::SymbolicLink << false;
    QTest::newRow("made by a user who may not write the file") << Left::MadeByAnotherUser << false;
    QTest::newRow("held by a running save") << Left::HeldBySave << true;
    QTest::newRow("found by a reader who may not write") << Left::ReadByAnotherUser << true;
    QTest::newRow("a stranger's, in a setgid folder anybody may write")
            << Left::StrangerInSetgidFolder << false;
    QTest::newRow("old size above the file") << Left::OldSizeAboveFile << false;
    QTest::newRow("old size 2^62") << Left::OldSizeHuge << false;
    QTest::newRow("a record beyond the old size") << Left::RecordBeyondOldSize << false;
    QTest::newRow("a record beyond the end of the cut file") << Left::RecordBeyondCutFile << false;
    QTest::newRow("a sparse record of a GiB, checksum wrong") << Left::LargeSparse << false;
    QTest::newRow("in the state folder") << Left::KilledInStateFolder << true;
}

void JournalTest::leftJournal()
{
    QFETCH(Left, left);
    QFETCH(bool, applied);
    if (left >= Left::MadeByAnotherUser && geteuid() != 0)
        QSKIP("needs root to act as another user");
    const QString path = m_dir->filePath(QStringLiteral("song.mp3"));
    QVERIFY(makeLongMpeg(path, 256 * 1024));
    QVERIFY(setMode(path, 0644));
    const QByteArray oldBytes = readAll(path);
    const QString reference = m_dir->filePath(QStringLiteral("reference.mp3"));
    QVERIFY(QFile::copy(path, reference));
    QCOMPARE(save(reference, record()), 0);
    QByteArray newBytes = readAll(reference);

    // The user who saves may not write the folder: the journal goes to their state folder.
    const QString state = m_dir->filePath(QStringLiteral("state"));
    const bool inState = left == Left::KilledInStateFolder;
    const auto asSaver = [&] {
        return !inState
                || (dropRights(ChildRights::Unprivileged)
                    && qputenv("XDG_STATE_HOME", QFile::encodeName(state)));
    };
    if (inState)
        QVERIFY(chown(QFile::encodeName(path).constData(), unprivilegedId, unprivilegedId) == 0
                && QDir().mkpath(state) && setMode(state, 0777));
    const struct stat file = statOf(path);
    const QString journal = !inState ? journalOf(path)
                                     : state
                    + QString::asprintf("/quillet/%llx-%llx.quillet-journal",
                                        static_cast<unsigned long long>(file.st_dev),
                                        static_cast<unsigned long long>(file.st_ino));
    QVERIFY(leaveJournal(path, journal, asSaver));
    QVERIFY(readAll(path) == oldBytes);
    // As if the save had been cut off once the file was written.
    QVERIFY(writeAll(path, newBytes));
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
    QStringList names = {QStringLiteral("reference.mp3"), QStringLiteral("song.mp3")};
    int held = -1;
    switch (left) {
    case Left::CutShort:
        QVERIFY(QFile::resize(journal, QFileInfo(journal).size() - 1));
        break;
    case Left::ByteChanged: {
        QByteArray bytes = readAll(journal);
        bytes[bytes.size() - 1] = static_cast<char>(bytes.back() ^ 1);
        QVERIFY(writeAll(journal, bytes));
        break;
    }
    case Left::FileReplaced:
        QVERIFY(QFile::copy(path, elsewhere));
        QVERIFY(rename(QFile::encodeName(elsewhere).constData(),
                       QFile::encodeName(path).constData())
                == 0);
        break;
    case Left::SymbolicLink:
        QVERIFY(QFile::rename(journal, elsewhere));
        QVERIFY(QFile::link(elsewhere, journal));
        names << QStringLiteral("elsewhere");
        break;
    case Left::MadeByAnotherUser:
        QVERIFY(chown(QFile::encodeName(journal).constData(), unprivilegedId, unprivilegedId) == 0);
        break;
    case Left::HeldBySave:
        held = holdLock(journal, true);
        QVERIFY(held >= 0);
        break;
    case Left::ReadByAnotherUser: {
        // It may write neither the file nor the folder: it sees the file through the journal.
        const std::optional<int> seen
                = runInChild([&] { return fromWide(read(path).tag.title) == oldTitle ? 0 : 1; },
                             ChildRights::Unprivileged);
        QCOMPARE(seen, std::optional<int>(0));
        QVERIFY(readAll(path) == newBytes);
        QVERIFY(QFileInfo::exists(journal));
        break;
    }
    case Left::StrangerInSetgidFolder: {
        // The group is inherited from the folder: it says nothing of who made the journal.
        const QByteArray names[] = {QFile::encodeName(m_dir->path()), QFile::encodeName(path)};
        QVERIFY(chown(names[0].constData(), 0, 100) == 0 && setMode(m_dir->path(), 02777));
        QVERIFY(chown(names[1].constData(), 0, 100) == 0 && setMode(path, 0664));
        QVERIFY(chown(QFile::encodeName(journal).constData(), unprivilegedId, 100) == 0);
        break;
    }
    case Left::OldSizeAboveFile:
        QVERIFY(patchJournal(journal, quint64(oldBytes.size() + 4096)));
        break;
    case Left::OldSizeHuge:
        QVERIFY(patchJournal(journal, quint64(1) << 62));
        break;
    case Left::RecordBeyondOldSize:
        QVERIFY(patchJournal(journal,
                             qFromLittleEndian<quint64>(readAll(journal).constData() + 64) + 1));
        break;
    case Left::RecordBeyondCutFile: {
        // The file's last bytes in a record, the file cut short of it: 16 bytes held by none.
        const qsizetype tail = oldBytes.size() - 64;
        QVERIFY(addRecord(journal, quint64(tail), oldBytes.mid(tail)));
        newBytes.truncate(tail - 16);
        QVERIFY(QFile::resize(path, newBytes.size()));
        break;
    }
    case Left::LargeSparse:
        QVERIFY(patchJournal(journal, quint64(1) << 30, oldBytes.size()));
        break;
    case Left::KilledInStateFolder: {
        // Another user sees the file as it is; the saving user's next access takes it back.
        QCOMPARE(fromWide(read(path).tag.title), recordTitle);
        const std::optional<int> seen = runInChild(
                [&] { return asSaver() && fromWide(read(path).tag.title) == oldTitle ? 0 : 1; });
        QCOMPARE(seen, std::optional<int>(0));
        QVERIFY(!QFileInfo::exists(journal));
        names << QStringLiteral("state");
        break;
    }
    case Left::AsItWas:
        break;
    }

    const qint64 readBefore = ioCount("rchar");
    const QString title = fromWide(read(path).tag.title);
    // Judged without reading its gigabyte.
    if (left == Left::LargeSparse)
        QVERIFY(ioCount("rchar") - readBefore < 64 * megabyte);

    if (left == Left::HeldBySave) {
        // Left to the save that holds it: readers see the old file, saves are refused.
        QCOMPARE(title, oldTitle);
        QCOMPARE(save(path, record()), -1);
        QVERIFY(readAll(path) == newBytes);
        QVERIFY(QFileInfo::exists(journal));
        close(held);
        read(path);
    } else {
        QCOMPARE(title, applied ? oldTitle : recordTitle);
    }
    QVERIFY(readAll(path) == (applied ? oldBytes : newBytes));
    names.sort();
    QCOMPARE(entriesOf(m_dir->path()), names);
}

void JournalTest::fittingSaveWritesOnlyWhatChanged()
{
    if (ioCount() < 0)
        QSKIP("this system does not count the bytes a process writes");
    const QString path = m_dir->filePath(QStringLiteral("long.mp3"));
    QVERIFY(makeLongMpeg(path, 24 * megabyte, coverBytes("cover", megabyte)));
    QCOMPARE(save(path, record()), 0);
    const QString reference = m_dir->filePath(QStringLiteral("reference.mp3"));
    QVERIFY(QFile::copy(path, reference));
    QCOMPARE(save(reference, record(QStringLiteral("1999"))), 0);
    const ino_t inode = statOf(path).st_ino;

    // TagLib renders the whole tag anew, the cover included; only the year differs.
    const std::optional<int> kilobytes = runInChild([&] {
        const qint64 before = ioCount();
        const int result = save(path, record(QStringLiteral("1999")));
        return result == 0 ? int((ioCount() - before) / 1024) : -1;
    });

    QVERIFY(kilobytes.has_value());
    qInfo("the save wrote %d KiB, its journal included", *kilobytes);
    QVERIFY2(*kilobytes >= 0 && *kilobytes < 1024, qPrintable(QString::number(*kilobytes)));
    QCOMPARE(statOf(path).st_ino, inode);
    QVERIFY(readAll(path) == readAll(reference));
    QCOMPARE(entriesOf(m_dir->path()), (QStringList {"long.mp3", "reference.mp3"}));
}

QTEST_GUILESS_MAIN(JournalTest)

#include "tst_journal.moc"
