// Names made from fields and fields read from names, and renames that never replace a file.
#include "filerenamer.h"
#include "renameplan.h"
#include "testsupport.h"
#include "widetext.h"

#include <QDir>
#include <QTest>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// "placeholder=value" pairs.
FieldTexts texts(const QStringList &pairs)
{
    FieldTexts values;
    for (const QString &pair : pairs) {
        for (std::size_t i = 0; i < patternFieldCount; ++i) {
            if (pair.section(QLatin1Char('='), 0, 0)
                == QLatin1String(quillet::knownFields[i].placeholder))
                values[i] = pair.section(QLatin1Char('='), 1);
        }
    }
    return values;
}

} // namespace

class TestNamePattern : public QObject
{
    Q_OBJECT

private slots:
    void pathFor_data();
    void pathFor();
    void fieldsFrom_data();
    void fieldsFrom();
    void plannedAndUndone();
    void undecodableName();
    void runningSaveRefused_data();
    void runningSaveRefused();
};

void TestNamePattern::pathFor_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("expected"); // the new path from /m/old.mp3, or the error
    const QString e200 = QString(200, QChar(0xE9));
    QTest::newRow("padded") << "%track:2% - %title%" << QStringList {"track=3", "title=T"}
                            << "/m/03 - T.mp3";
    QTest::newRow("literal percent")
            << "100% %title%%" << QStringList {"title=T"} << "/m/100% T%.mp3";
    QTest::newRow("forbidden") << "%title%" << QStringList {"title=a\\b/c:d*e?f\"g<h>i|j\tk"}
                               << "/m/a_b_c_d_e_f_g_h_i_j_k.mp3";
    QTest::newRow("trimmed") << "%artist% %title%" << QStringList {"artist=. A .", "title=T. "}
                             << "/m/A T.mp3";
    QTest::newRow("empty") << "%artist% - %title%" << QStringList {"title=T"}
                           << "/m/Unknown Artist - T.mp3";
    QTest::newRow("folders") << "%artist%/%album%/%title%"
                             << QStringList {"artist=A", "album=B", "title=T"} << "/m/A/B/T.mp3";
    // 251 bytes leave room for ".mp3"; a two-byte character is never cut in half.
    QTest::newRow("255 bytes") << "%title%" << QStringList {"title=" + e200}
                               << "/m/" + e200.left(125) + ".mp3";
    // A byte of a name that is not UTF-8 (U+DCB0: 0xB0) is a whole character, never cut into.
    QTest::newRow("255 bytes, not UTF-8")
            << "%title%" + QString(15, QChar(0xDCB0)) << QStringList {"title=" + QString(240, u'x')}
            << "/m/" + QString(240, u'x') + QString(11, QChar(0xDCB0)) + ".mp3";
    QTest::newRow("lone surrogates")
            << "%title%" << QStringList {QString::fromUtf16(u"title=a\xDCE9_b\xD800")}
            << "/m/a__b_.mp3";
    QTest::newRow("unknown") << "%titel% x" << QStringList() << "unknown placeholder %titel%";
    QTest::newRow("capitals") << "%Title%" << QStringList() << "unknown placeholder %Title%";
    QTest::newRow("padded text") << "%title:2%" << QStringList() << "unknown placeholder %title:2%";
    QTest::newRow("every field") << "%albumartist%/%discnumber:2%-%track:2% %composer%"
                                 << QStringList {"albumartist=AA", "discnumber=1", "track=4",
                                                 "composer=C"}
                                 << "/m/AA/01-04 C.mp3";
    QTest::newRow("empty, not one of seven")
            << "%composer% %title%" << QStringList {"title=T"} << "/m/Unknown Composer T.mp3";
    QTest::newRow("padded text, not one of seven")
            << "%composer:2%" << QStringList() << "unknown placeholder %composer:2%";
    QTest::newRow("empty folder") << "%artist%//%title%" << QStringList()
                                  << "the pattern has an empty folder or file name";
}

void TestNamePattern::pathFor()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, fields);
    QFETCH(QString, expected);
    NamePattern parsed;
    QString error;
    if (parsed.parse(pattern, &error))
        QCOMPARE(parsed.pathFor(QStringLiteral("/m/old.mp3"), texts(fields), &error), expected);
    else
        QCOMPARE(error, expected);
}

void TestNamePattern::fieldsFrom_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // "field=value" in the pattern's order, or the error
    QTest::newRow("shortest") << "%track% - %artist% - %title%"
                              << "/m/03 - A - B - C.mp3"
                              << "track=3 artist=A title=B - C";
    QTest::newRow("folders") << "%artist%/%album%/%track% %title%"
                             << "/x/Art/Alb/07 Song.flac"
                             << "artist=Art album=Alb track=7 title=Song";
    QTest::newRow("twice, the same") << "%artist%/%artist% %title%"
                                     << "/m/A/A T.ogg"
                                     << "artist=A title=T";
    QTest::newRow("twice, not the same") << "%artist%/%artist% %title%"
                                         << "/m/A/B T.ogg"
                                         << "the name does not match the pattern";
    QTest::newRow("digits only") << "%track% - %title%"
                                 << "/m/x3 - T.mp3"
                                 << "the name does not match the pattern";
    QTest::newRow("no literal") << "%track% - %title%"
                                << "/m/Intro.mp3"
                                << "the name does not match the pattern";
    QTest::newRow("every field") << "%albumartist%/%discnumber%-%track% %bpm% %title%"
                                 << "/m/AA/2-03 120 T.mp3"
                                 << "albumartist=AA discnumber=2 track=3 bpm=120 title=T";
    QTest::newRow("too large") << "%year% %title%"
                               << "/m/99999999999 T.mp3"
                               << "year is larger than 2147483647";
}

void TestNamePattern::fieldsFrom()
{
    QFETCH(QString, pattern);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    NamePattern parsed;
    QString error;
    QVERIFY(parsed.parse(pattern, &error));
    const std::optional<QList<FieldValue>> values = parsed.fieldsFrom(path, &error);
    QStringList got;
    for (const FieldValue &value : values.value_or(QList<FieldValue>()))
        got += QLatin1String(quillet::knownFields[value.field].placeholder) + QLatin1Char('=')
                + value.text;
    QCOMPARE(values ? got.join(QLatin1Char(' ')) : error, expected);
}

void TestNamePattern::plannedAndUndone()
{
    QTemporaryDir dir;
    const auto file = [&](const QString &name) { return dir.filePath(name); };
    for (const char *name : {"a.mp3", "b.mp3", "c.mp3", "taken.mp3"})
        testsupport::copyFixture(dir, QStringLiteral("tone.mp3"), QLatin1String(name));
    NamePattern pattern;
    QString error;
    QVERIFY(pattern.parse(QStringLiteral("%artist%/%title%"), &error));
    const QList<RenameRow> rows = planRenames(pattern,
                                              {{file("a.mp3"), texts({"artist=.", "title=Same"})},
                                               {file("./b.mp3"), texts({"artist=", "title=Same"})},
                                               {file("c.mp3"), texts({"artist=X", "title=C"})},
                                               {file("taken.mp3"), texts({"title=../taken"})}});
    QCOMPARE(rows[0].error, QStringLiteral("another file would get the same name"));
    QCOMPARE(rows[1].error, rows[0].error);
    QVERIFY(rows[2].renames());
    QCOMPARE(rows[3].to, file("Unknown Artist/_taken.mp3"));

    RenameDone done;
    QCOMPARE(renameFile(rows[2].from, rows[2].to, &done), 0);
    QCOMPARE(done.madeFolders, QStringList {file("X")});
    QVERIFY(QFile::exists(file("X/C.mp3")) && !QFile::exists(file("c.mp3")));
    QCOMPARE(renameFile(file("a.mp3"), file("b.mp3"), &done), EEXIST);
    // Undone only while nothing took the old name, and the empty folder made for it goes.
    QVERIFY(QFile::copy(file("a.mp3"), file("c.mp3")));
    QCOMPARE(undoRename(done), EEXIST);
    QVERIFY(QFile::remove(file("c.mp3")));
    QCOMPARE(undoRename(done), 0);
    QCOMPARE(testsupport::entriesUnder(dir.path()),
             QStringList({"a.mp3", "b.mp3", "c.mp3", "taken.mp3"}));
}

void TestNamePattern::undecodableName()
{
    // A Latin-1 name: its byte crosses as U+DCE9 and must reach the system as that byte again.
    QTemporaryDir dir;
    const QByteArray bytes = QFile::encodeName(dir.path()) + "/caf\xe9.mp3";
    const QString copy = testsupport::copyFixture(dir, QStringLiteral("tone.mp3"));
    QCOMPARE(std::rename(QFile::encodeName(copy).constData(), bytes.constData()), 0);
    NamePattern pattern;
    QString error;
    QVERIFY(pattern.parse(QStringLiteral("%title%"), &error));
    const QString path = fromNativeName(bytes);
    QVERIFY(!pattern.fieldsFrom(path, &error));
    QCOMPARE(error, QStringLiteral("the name holds bytes that are not UTF-8"));
    RenameDone done;
    QCOMPARE(renameFile(path, pattern.pathFor(path, texts({"title=Café"}), &error), &done), 0);
    QCOMPARE(testsupport::entriesUnder(dir.path()), QStringList {"Café.mp3"});
}

void TestNamePattern::runningSaveRefused_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<int>("expected");
    QTest::newRow("a save runs") << true << EBUSY;
    QTest::newRow("a save was cut off") << false << 0;
}

void TestNamePattern::runningSaveRefused()
{
    QFETCH(bool, held);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const QString mp3 = testsupport::copyFixture(dir, QStringLiteral("tone.mp3"));
    const QByteArray journal = QFile::encodeName(dir.filePath(".tone.mp3.quillet-journal"));
    const int fd = ::open(journal.constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    QVERIFY(fd >= 0 && (!held || fcntl(fd, F_OFD_SETLK, &lock) == 0));
    RenameDone done;
    QCOMPARE(renameFile(mp3, dir.filePath(QStringLiteral("new.mp3")), &done), expected);
    ::close(fd);
    // The journal stays with a save that holds it; one nobody holds is gone with the guard's own.
    QCOMPARE(testsupport::entriesUnder(dir.path()),
             held ? QStringList({".tone.mp3.quillet-journal", "tone.mp3"})
                  : QStringList({"new.mp3"}));
}

QTEST_GUILESS_MAIN(TestNamePattern)
#include "tst_namepattern.moc"
