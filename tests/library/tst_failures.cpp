// Why readTag and saveTag fail (errno), damaged files left alone, failed writes rolled back, and
// file names that are not UTF-8. Files are read back with TagLib directly.
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "savetesting.h"
#include "testsupport.h"
#include "widepath.h"

using namespace testsupport;

class FailuresTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("QUILLET_FAULT"); }
    void reasons_data();
    void reasons();
    void damagedFileIsRefused_data();
    void damagedFileIsRefused();
    void failedWriteIsRolledBack_data();
    void failedWriteIsRolledBack();
    void undecodableNames_data();
    void undecodableNames();
};

void FailuresTest::reasons_data()
{
    QTest::addColumn<QString>("name"); // as the file is given; "=" marks the fixture itself
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("track");
    QTest::addColumn<int>("readError"); // -1: readTag reads it
    QTest::addColumn<int>("saveError");
    QTest::newRow("missing") << "gone.flac"
                             << "1"
                             << "1" << ENOENT << ENOENT;
    QTest::newRow("empty path") << ""
                                << "1"
                                << "1" << ENOENT << ENOENT;
    QTest::newRow("folder") << "sub.flac/"
                            << "1"
                            << "1" << EISDIR << EISDIR;
    QTest::newRow("read-only") << "=r"
                               << "1"
                               << "1" << -1 << EACCES;
    QTest::newRow("not audio") << "notes.txt"
                               << "1"
                               << "1" << QUILLET_ENOTAUDIO << QUILLET_ENOTAUDIO;
    QTest::newRow("being saved") << "=busy"
                                 << "1"
                                 << "1" << -1 << EBUSY;
    QTest::newRow("year -1") << "="
                             << "-1"
                             << "1" << -1 << EINVAL;
    QTest::newRow("year int min") << "="
                                  << "-2147483648"
                                  << "1" << -1 << EINVAL;
    QTest::newRow("track -1") << "="
                              << "2001"
                              << "-1" << -1 << EINVAL;
    QTest::newRow("track int min") << "="
                                   << "2001"
                                   << "-2147483648" << -1 << EINVAL;
}

void FailuresTest::reasons()
{
    QFETCH(QString, name);
    QFETCH(QString, year);
    QFETCH(QString, track);
    QFETCH(int, readError);
    QFETCH(int, saveError);
    const QTemporaryDir dir;
    const QString file = copyFixture(dir, QStringLiteral("tone.flac"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.flac")));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("notes.txt")), "plain text, no audio\n"));
    if (name == QLatin1String("=r"))
        QVERIFY(setMode(file, 0444));
    const int held = name == QLatin1String("=busy") && writeAll(journalOf(file), "")
            ? holdLock(journalOf(file), true)
            : -1;
    const QString path = name.startsWith(QLatin1Char('='))
            ? file
            : (name.isEmpty() ? QString() : dir.filePath(name));
    const QByteArray before = readAll(file);

    tagstruct tag;
    errno = EDOM;
    readTag(wide(path), &tag);
    QCOMPARE(errno, readError == -1 ? 0 : readError);
    QCOMPARE(tag.info.empty(), readError != -1);

    errno = 0;
    QCOMPARE(save(path, record(year, track)), -1);
    QCOMPARE(errno, saveError);
    QCOMPARE(readAll(file), before);
    if (held >= 0)
        close(held);
}

void FailuresTest::damagedFileIsRefused_data()
{
    QTest::addColumn<QString>("fixture");
    for (const char *name : {"tone.ogg", "tone.opus", "tone.flac", "tone.mp3", "tone.m4a",
                             "tone.wma", "tone.wav", "tone.aiff"})
        QTest::newRow(name) << name;
}

void FailuresTest::damagedFileIsRefused()
{
    QFETCH(QString, fixture);
    const QTemporaryDir dir;
    const QString file = copyFixture(dir, fixture);
    const QByteArray cover = coverBytes("damaged", 12000);
    QVERIFY(addPictures(file, {Picture {3, QStringLiteral("image/jpeg"), QString(), cover}}));
    // Cut in the middle of the cover, as it is stored (in Ogg comments, in base64).
    QByteArray bytes = readAll(file);
    qsizetype at = bytes.indexOf(cover.mid(3000, 64));
    if (at < 0)
        at = bytes.indexOf(cover.toBase64().mid(4000, 64));
    QVERIFY(at > 0);
    bytes.truncate(at + 32);
    QVERIFY(writeAll(file, bytes));
    const QStringList entries = entriesOf(dir.path());

    errno = 0;
    QCOMPARE(save(file, record(), coverBytes("new")), -1);
    QCOMPARE(errno, QUILLET_EDAMAGED);
    QCOMPARE(readAll(file), bytes);
    QCOMPARE(entriesOf(dir.path()), entries);
}

void FailuresTest::failedWriteIsRolledBack_data()
{
    QTest::addColumn<int>("coverSize"); // as the old one's: written in place; else a copy
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("error");
    for (const int size : {20000, 200000}) {
        const char *way = size == 20000 ? "in place" : "copy";
        QTest::addRow("%s, write ENOSPC", way) << size << "write:%1:ENOSPC" << ENOSPC;
        QTest::addRow("%s, write EIO", way) << size << "write:%1:EIO" << EIO;
        QTest::addRow("%s, sync EIO", way) << size << "sync:%1:EIO" << EIO;
    }
}

void FailuresTest::failedWriteIsRolledBack()
{
#ifndef QUILLET_FAULT_SEAM
    QSKIP("built without the fault seam");
#endif
    QFETCH(int, coverSize);
    QFETCH(QString, operation);
    QFETCH(int, error);
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long.mp3"));
    QVERIFY(makeLongMpeg(file, 300000, coverBytes("old", 20000)));
    const QByteArray before = readAll(file);
    const QStringList entries = entriesOf(dir.path());
    const QByteArray cover = coverBytes("new", coverSize);
    tagstruct tag;
    readTag(wide(file), &tag);
    delete[] tag.picture;
    tag.title = L"Changed";

    int failed = 0;
    for (int step = 1;; ++step) {
        qputenv("QUILLET_FAULT", operation.arg(step).toLatin1());
        errno = 0;
        if (save(file, tag, cover) == 0)
            break; // no such step: the save went through
        QCOMPARE(errno, error);
        QCOMPARE(readAll(file), before);
        QCOMPARE(entriesOf(dir.path()), entries);
        ++failed;
    }
    QVERIFY2(failed >= 1, "no step of the save could be made to fail");
    QCOMPARE(fieldsOf(file).title, QStringLiteral("Changed"));
}

void FailuresTest::undecodableNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9.flac");
    QTest::newRow("cut sequence") << QByteArray("\xe2\x82 x.flac");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf.flac");
    QTest::newRow("lone surrogate") << QByteArray("\xed\xa0\x80.flac");
}

void FailuresTest::undecodableNames()
{
    QFETCH(QByteArray, name);
    const QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    QVERIFY(rename(QFile::encodeName(copyFixture(dir, QStringLiteral("tone.flac"))).constData(),
                   path.constData())
            == 0);
    const std::wstring wide = quillet::widepath::fromNativeBytes(path.toStdString());

    tagstruct tag;
    readTag(wide, &tag);
    QCOMPARE(errno, 0);
    tag.title = L"renamed";
    QCOMPARE(saveTag(wide, &tag), 0);
    QCOMPARE(TagLib::FileRef(path.constData()).tag()->title(), TagLib::String("renamed"));
    // A surrogate that stands for no byte names no file.
    QCOMPARE(saveTag(wide + L'\xD800', &tag), -1);
    QCOMPARE(errno, EILSEQ);
    // Qt cannot name the file: gone, the folder is empty, with nothing left beside it.
    QCOMPARE(unlink(path.constData()), 0);
    QCOMPARE(entriesOf(dir.path()), QStringList());
}

QTEST_GUILESS_MAIN(FailuresTest)
#include "tst_failures.moc"
