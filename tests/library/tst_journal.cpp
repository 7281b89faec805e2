// What readTag and saveTag do with a journal left beside a file by a save that was cut off:
// applied when it is complete and the file's, removed unread when it is not, left alone while
// a save holds it; and how little a fitting save writes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

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
    MadeByAnotherUser,
    HeldBySave,
    ReadByAnotherUser,
};

// Leaves the complete journal of a fitting save of path, cut off before the file was written:
// while a reader holds the file, the save writes its journal and then waits.
bool leaveJournal(const QString &path)
{
    const int reader = holdLock(path, false);
    if (reader < 0)
        return false;
    const QString journal = journalOf(path);
    qint64 lastSize = -1;
    qint64 stableSince = 0;
    const bool finished
            = runUntil([&] { return save(path, record()) == 0 ? 0 : 1; },
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

// Bytes this process has caused to be written to storage, or -1.
qint64 writtenBytes()
{
    const QList<QByteArray> lines = readAll(QStringLiteral("/proc/self/io")).split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("write_bytes:"))
            return line.mid(12).trimmed().toLongLong();
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
}

void JournalTest::leftJournal()
{
    QFETCH(Left, left);
    QFETCH(bool, applied);
    if ((left == Left::MadeByAnotherUser || left == Left::ReadByAnotherUser) && geteuid() != 0)
        QSKIP("needs root to act as another user");
    const QString path = m_dir->filePath(QStringLiteral("song.mp3"));
    QVERIFY(makeLongMpeg(path, 256 * 1024));
    QVERIFY(setMode(path, 0644));
    const QByteArray oldBytes = readAll(path);
    const QString reference = m_dir->filePath(QStringLiteral("reference.mp3"));
    QVERIFY(QFile::copy(path, reference));
    QCOMPARE(save(reference, record()), 0);
    const QByteArray newBytes = readAll(reference);

    QVERIFY(leaveJournal(path));
    QVERIFY(readAll(path) == oldBytes);
    // As if the save had been cut off once the file was written.
    QVERIFY(writeAll(path, newBytes));
    const QString journal = journalOf(path);
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
    case Left::AsItWas:
        break;
    }

    const QString title = fromWide(read(path).tag.title);

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
    if (writtenBytes() < 0)
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
        const qint64 before = writtenBytes();
        const int result = save(path, record(QStringLiteral("1999")));
        return result == 0 ? int((writtenBytes() - before) / 1024) : -1;
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
