// quillet on the command line: the real program run on copies of the fixtures, its output read
// back, and the files checked through readTag.
#include "childprocess.h"
#include "savetesting.h"
#include "testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

using namespace testsupport;

namespace {

ProgramRun quillet(const QStringList &arguments)
{
    return runProgram(QStringLiteral(QUILLET_PROGRAM), arguments);
}

QImage filled(const QColor &colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(40, 30, format);
    image.fill(colour);
    return image;
}

// Writes fields and a cover (none when empty) through the library.
void tagFile(const QString &path, const QString &title, const QByteArray &cover = QByteArray())
{
    tagstruct tag;
    tag.title = wide(title);
    tag.artist = L"Artist";
    tag.album = L"Album";
    tag.comment = L"Comment";
    tag.year = L"2001";
    tag.track = L"7";
    tag.genre = L"Genre";
    tag.picture = cover.isEmpty() ? nullptr : const_cast<char *>(cover.constData());
    tag.pictureSize = static_cast<std::int32_t>(cover.size());
    QCOMPARE(saveTag(wide(path), &tag), 0);
}

QList<QJsonObject> jsonLines(const QByteArray &output)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        objects.append(document.object());
        if (error.error != QJsonParseError::NoError || !document.isObject())
            objects.append(QJsonObject {{QStringLiteral("unparsed"), QString::fromUtf8(line)}});
    }
    return objects;
}

QStringList filesOf(const QList<QJsonObject> &objects)
{
    QStringList files;
    for (const QJsonObject &object : objects)
        files.append(object.value(QStringLiteral("file")).toString());
    return files;
}

// The values of key as TagLib itself reads them from the file; a Xiph comment's number with its
// total in a field of its own (DISCTOTAL) as "n/N".
QStringList propertyValues(const QString &path, const QString &key)
{
    const TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull())
        return {QStringLiteral("(unreadable)")};
    const TagLib::PropertyMap properties = file.file()->properties();
    QStringList values;
    for (const TagLib::String &value : properties[tagString(key)])
        values.append(fromTagString(value));
    const TagLib::String total
            = tagString(QString(key).replace(QStringLiteral("NUMBER"), QStringLiteral("TOTAL")));
    if (key.endsWith(QLatin1String("NUMBER")) && values.size() == 1 && properties.contains(total))
        values[0] += QLatin1Char('/') + fromTagString(properties[total].front());
    return values;
}

// Every file's bytes, to tell that nothing was written.
QList<QByteArray> contents(const QStringList &paths)
{
    QList<QByteArray> all;
    for (const QString &path : paths)
        all.append(readAll(path));
    return all;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void showJson();
    void showJsonAsQtWritesIt();
    void showJsonCoverType_data();
    void showJsonCoverType();
    void showText();
    void outputKeepsInputOrder();
    void folderWalk();

    void setChangesOnlyGivenFields();
    void setDryRunWritesNothing();
    void setCover_data();
    void setCover();
    void renameAndFieldsFromNames();
    void renameRunsAgainAndCleansUp();
    void notAudioNeverNamed();
    void fieldsFromNamesOnlyWhatTheNameSays();
    void cutOffSaveSeenFromEveryName();
    void wmaKeepsOrderSetReplacesAll();
    void setAnyKey_data();
    void setAnyKey();
    void pictureOfEachType_data();
    void pictureOfEachType();
    void csvRoundTrip();
    void csvRefused_data();
    void csvRefused();
    void everyFieldListed();
    void loudness_data();
    void loudness();

    void cover_data();
    void cover();
    void coverMissing();

    void badFileAmongGood_data();
    void badFileAmongGood();
    void undecodableName();
    void usageError_data();
    void usageError();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QByteArray jpeg;
};

void TestCli::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    jpeg = encode(filled(Qt::red), "JPEG");
}

void TestCli::showJson()
{
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    const QString flac = copyFixture(*dir, QStringLiteral("tone.flac"));
    tagFile(mp3, QStringLiteral("Ünïcode \"quoted\"\nline"), jpeg);
    tagFile(flac, QStringLiteral("Plain"));

    const ProgramRun run = quillet({QStringLiteral("show"), QStringLiteral("--json"), mp3, flac});
    QVERIFY(run.exited);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QList<QJsonObject> objects = jsonLines(run.out);
    QCOMPARE(objects.size(), 2);

    const QJsonObject &first = objects[0];
    QStringList keys = first.keys();
    keys.sort();
    QStringList expected = {"album", "artist", "comment",  "cover_bytes", "cover_type",
                            "file",  "genre",  "report",   "title",       "track",
                            "year",  "tags",   "pictures", "audio",       "unsupported"};
    expected.sort();
    QCOMPARE(keys, expected);
    const QJsonObject tags = first.value("tags").toObject();
    QCOMPARE(tags.value("ARTIST").toArray().first().toString(), QStringLiteral("Artist"));
    const QJsonObject picture = first.value("pictures").toArray().first().toObject();
    QCOMPARE(picture.value("type").toString(), QStringLiteral("front"));
    QCOMPARE(picture.value("bytes").toInteger(), jpeg.size());
    QCOMPARE(picture.value("width").toInt(), 40);
    QVERIFY(first.value("audio").toObject().value("sample_rate").toInt() > 0);
    const ReadResult read = testsupport::read(mp3);
    QCOMPARE(first.value("file").toString(), mp3);
    QCOMPARE(first.value("title").toString(), QStringLiteral("Ünïcode \"quoted\"\nline"));
    QCOMPARE(first.value("artist").toString(), QStringLiteral("Artist"));
    QCOMPARE(first.value("year").toString(), QStringLiteral("2001"));
    QCOMPARE(first.value("track").toString(), QStringLiteral("7"));
    QCOMPARE(first.value("cover_bytes").toInteger(), jpeg.size());
    QCOMPARE(first.value("cover_type").toString(), QStringLiteral("jpeg"));
    QCOMPARE(first.value("report").toString(), fromWide(read.tag.info));

    QCOMPARE(objects[1].value("title").toString(), QStringLiteral("Plain"));
    QCOMPARE(objects[1].value("cover_bytes").toInteger(), 0);
    QCOMPARE(objects[1].value("cover_type").toString(), QStringLiteral("none"));
}

void TestCli::showJsonAsQtWritesIt()
{
    // Every escape and every length of UTF-8: the line is what QJsonDocument's compact form
    // makes of the same object.
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    const QString odd = QStringLiteral("\"q\" \\ \t\n\r\b\f\x01\x1f é € 😀");
    const ProgramRun set = quillet({"set", "--tag", "ODD=" + odd, mp3});
    QCOMPARE(set.exitCode, 0);

    const ProgramRun run = quillet({QStringLiteral("show"), QStringLiteral("--json"), mp3});
    QCOMPARE(run.exitCode, 0);
    const QByteArray line = run.out.trimmed();
    const QJsonDocument document = QJsonDocument::fromJson(line);
    QCOMPARE(document.object().value("tags").toObject().value("ODD").toArray().at(0).toString(),
             odd);
    QCOMPARE(line, document.toJson(QJsonDocument::Compact));
}

void TestCli::showJsonCoverType_data()
{
    QTest::addColumn<QByteArray>("cover");
    QTest::addColumn<QString>("type");
    QTest::newRow("png") << encode(filled(Qt::blue), "PNG") << "png";
    QTest::newRow("gif") << QByteArray("GIF89a\1\0\1\0", 10) << "gif";
    QTest::newRow("bmp") << encode(filled(Qt::blue), "BMP") << "bmp";
    QTest::newRow("webp") << QByteArray("RIFF\4\0\0\0WEBPVP8 ", 16) << "webp";
    QTest::newRow("unknown") << QByteArray("not an image") << "unknown";
}

void TestCli::showJsonCoverType()
{
    QFETCH(QByteArray, cover);
    QFETCH(QString, type);
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    tagFile(mp3, QStringLiteral("Title"), cover);

    const ProgramRun run = quillet({QStringLiteral("show"), QStringLiteral("--json"), mp3});
    QCOMPARE(run.exitCode, 0);
    const QList<QJsonObject> objects = jsonLines(run.out);
    QCOMPARE(objects.size(), 1);
    QCOMPARE(objects[0].value("cover_type").toString(), type);
    QCOMPARE(objects[0].value("cover_bytes").toInteger(), cover.size());
}

void TestCli::showText()
{
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    tagFile(mp3, QStringLiteral("Song"), jpeg);

    const ProgramRun run = quillet({QStringLiteral("show"), mp3});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), mp3);
    QVERIFY(lines.contains(QStringLiteral("  title    Song")));
    QVERIFY(lines.contains(QStringLiteral("  genre    Genre")));
    QVERIFY(lines.contains(QStringLiteral("  cover    %1 bytes, jpeg").arg(jpeg.size())));
    QVERIFY(lines.contains(QStringLiteral("    -- AUDIO --")));
}

void TestCli::outputKeepsInputOrder()
{
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        const QString name = QStringLiteral("%1.%2").arg(i).arg(i % 2 ? "flac" : "ogg");
        files.prepend(copyFixture(*dir, QStringLiteral("tone.") + name.section('.', 1), name));
    }
    const ProgramRun run = quillet(QStringList {QStringLiteral("show"), QStringLiteral("--json"),
                                                QStringLiteral("--jobs"), QStringLiteral("4")}
                                   + files);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(filesOf(jsonLines(run.out)), files);
}

void TestCli::folderWalk()
{
    const QString music = dir->filePath(QStringLiteral("music"));
    copyFixture(*dir, QStringLiteral("tone.mp3"), QStringLiteral("music/b.mp3"));
    copyFixture(*dir, QStringLiteral("tone.mp3"), QStringLiteral("music/A.MP3"));
    copyFixture(*dir, QStringLiteral("tone.flac"), QStringLiteral("music/a/z.flac"));
    copyFixture(*dir, QStringLiteral("tone.ogg"), QStringLiteral("music/a/y.ogg"));
    copyFixture(*dir, QStringLiteral("tone.ogg"), QStringLiteral("music/.hidden.ogg"));
    // By path, "CD1-bonus.mp3" before "CD1/01.mp3" ('-' < '/'), though the folder's name is first.
    copyFixture(*dir, QStringLiteral("tone.mp3"), QStringLiteral("music/CD1/01.mp3"));
    copyFixture(*dir, QStringLiteral("tone.mp3"), QStringLiteral("music/CD1-bonus.mp3"));
    QVERIFY(writeAll(music + QStringLiteral("/notes.txt"), "not audio"));
    // A link back up the tree, and a second way into a folder already walked.
    QVERIFY(QFile::link(QStringLiteral(".."), music + QStringLiteral("/a/loop")));
    QVERIFY(QFile::link(QStringLiteral("a"), music + QStringLiteral("/link-to-a")));

    const ProgramRun run = quillet({QStringLiteral("show"), QStringLiteral("--json"),
                                    QStringLiteral("--jobs"), QStringLiteral("3"), music});
    QVERIFY(run.exited);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(filesOf(jsonLines(run.out)),
             QStringList({music + "/A.MP3", music + "/CD1-bonus.mp3", music + "/CD1/01.mp3",
                          music + "/a/y.ogg", music + "/a/z.flac", music + "/b.mp3"}));
}

void TestCli::setChangesOnlyGivenFields()
{
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    tagFile(mp3, QStringLiteral("Title"), jpeg);

    const ProgramRun run = quillet({QStringLiteral("set"), QStringLiteral("--artist"),
                                    QStringLiteral("Ärtist"), QStringLiteral("--year"),
                                    QStringLiteral("1999"), QStringLiteral("--comment="), mp3});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out + run.err, QByteArray());
    const ReadResult read = testsupport::read(mp3);
    QCOMPARE(fromWide(read.tag.artist), QStringLiteral("Ärtist"));
    QCOMPARE(fromWide(read.tag.year), QStringLiteral("1999"));
    QCOMPARE(fromWide(read.tag.comment), QString());
    QCOMPARE(fromWide(read.tag.title), QStringLiteral("Title"));
    QCOMPARE(fromWide(read.tag.album), QStringLiteral("Album"));
    QCOMPARE(fromWide(read.tag.track), QStringLiteral("7"));
    QCOMPARE(fromWide(read.tag.genre), QStringLiteral("Genre"));
    QCOMPARE(read.picture, jpeg);
}

void TestCli::setDryRunWritesNothing()
{
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    tagFile(mp3, QStringLiteral("Old"));
    const QByteArray before = readAll(mp3);
    const QString image = dir->filePath(QStringLiteral("cover.jpg"));
    QVERIFY(writeAll(image, jpeg));

    const ProgramRun run
            = quillet({QStringLiteral("set"), QStringLiteral("--dry-run"),
                       QStringLiteral("--title"), QStringLiteral("New"), QStringLiteral("--genre"),
                       QStringLiteral("Genre"), QStringLiteral("--cover"), image, mp3});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             QStringLiteral("%1: title: \"Old\" -> \"New\"\n"
                            "%1: cover: none -> %2 bytes jpeg\n")
                     .arg(mp3)
                     .arg(jpeg.size()));
    QCOMPARE(readAll(mp3), before);
}

void TestCli::setCover_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("keptExactly");
    QTest::newRow("jpeg kept") << jpeg << true;
    QTest::newRow("png as jpeg") << encode(filled(Qt::blue), "PNG") << false;
    QTest::newRow("transparent png as jpeg on white")
            << encode(filled(Qt::transparent, QImage::Format_ARGB32), "PNG") << false;
}

void TestCli::setCover()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, keptExactly);
    const QString flac = copyFixture(*dir, QStringLiteral("tone.flac"));
    const QString imagePath = dir->filePath(QStringLiteral("image"));
    QVERIFY(writeAll(imagePath, image));

    const ProgramRun run
            = quillet({QStringLiteral("set"), QStringLiteral("--cover"), imagePath, flac});
    QCOMPARE(run.exitCode, 0);
    const QByteArray cover = testsupport::read(flac).picture;
    if (keptExactly) {
        QCOMPARE(cover, image);
        return;
    }
    QVERIFY(cover.startsWith("\xFF\xD8\xFF"));
    const QImage original = QImage::fromData(image);
    const QImage stored = QImage::fromData(cover, "JPEG");
    QCOMPARE(stored.size(), original.size());
    const QColor expected
            = original.hasAlphaChannel() ? QColor(Qt::white) : original.pixelColor(0, 0);
    const QColor centre = stored.pixelColor(stored.width() / 2, stored.height() / 2);
    QVERIFY2(qAbs(centre.red() - expected.red()) < 8 && qAbs(centre.blue() - expected.blue()) < 8,
             qPrintable(centre.name()));
}

void TestCli::renameAndFieldsFromNames()
{
    const QString folder = dir->filePath(QStringLiteral("in"));
    QVERIFY(QDir().mkpath(folder));
    const QStringList titles = {"Same", "Same", "Kept: yes"};
    for (int i = 0; i < titles.size(); ++i)
        tagFile(copyFixture(*dir, "tone.mp3", QStringLiteral("in/%1.mp3").arg(QChar('a' + i))),
                titles[i]);
    const QStringList rename = {QStringLiteral("rename"), QStringLiteral("--pattern"),
                                QStringLiteral("%album%/%track:2% - %title%"), folder};
    const ProgramRun dry = quillet(rename + QStringList {QStringLiteral("--dry-run")});
    QCOMPARE(QString::fromUtf8(dry.out),
             QStringLiteral("%1/c.mp3 → %1/Album/07 - Kept_ yes.mp3\n").arg(folder));
    QCOMPARE(dry.exitCode, 1);
    const ProgramRun run = quillet(rename);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.err),
             QStringLiteral("%1/a.mp3: another file would get the same name\n"
                            "%1/b.mp3: another file would get the same name\n")
                     .arg(folder));
    QCOMPARE(entriesUnder(folder),
             QStringList({"Album", "Album/07 - Kept_ yes.mp3", "a.mp3", "b.mp3"}));

    const QString named = folder + QStringLiteral("/Album/07 - Kept_ yes.mp3");
    const ProgramRun set = quillet({QStringLiteral("set"), QStringLiteral("--from-name"),
                                    QStringLiteral("%album%/%track% - %title%"), named,
                                    folder + QStringLiteral("/a.mp3")});
    QCOMPARE(set.exitCode, 1);
    QCOMPARE(QString::fromUtf8(set.err),
             folder + QStringLiteral("/a.mp3: the name does not match the pattern\n"));
    const ReadResult read = testsupport::read(named);
    QCOMPARE(fromWide(read.tag.title), QStringLiteral("Kept_ yes"));
    QCOMPARE(fromWide(read.tag.artist), QStringLiteral("Artist"));

    // Named and in a folder named: one file, renamed once, no collision with itself.
    const ProgramRun twice = quillet({QStringLiteral("rename"), QStringLiteral("--pattern"),
                                      QStringLiteral("%title%"), named, folder + "/Album"});
    QCOMPARE(twice.err, QByteArray());
    QCOMPARE(twice.exitCode, 0);
    QCOMPARE(entriesUnder(folder + "/Album"), QStringList({"Kept_ yes.mp3"}));
}

void TestCli::renameRunsAgainAndCleansUp()
{
    const QString folder = dir->filePath(QStringLiteral("in"));
    for (const QString &title : {QStringLiteral("A"), QStringLiteral("B")})
        tagFile(copyFixture(*dir, "tone.mp3", "in/" + title.toLower() + ".mp3"), title);
    // What a rename cut off after its move leaves under the old name.
    QVERIFY(writeAll(folder + "/.gone.mp3.quillet-journal", QByteArray()));
    const QStringList rename = {"rename", "--pattern", "%artist%/%title%"};
    QCOMPARE(quillet(rename + QStringList {folder + "/a.mp3"}).exitCode, 0);
    QCOMPARE(quillet(rename + QStringList {folder}).exitCode, 0);
    QCOMPARE(QString(quillet(rename + QStringList {"--dry-run", folder}).out),
             QString("%1/Artist/A.mp3: nothing to change\n%1/Artist/B.mp3: nothing to change\n")
                     .arg(folder));
    QCOMPARE(entriesUnder(folder), QStringList({"Artist", "Artist/A.mp3", "Artist/B.mp3"}));
}

void TestCli::notAudioNeverNamed()
{
    tagFile(copyFixture(*dir, "tone.mp3", "good.mp3"), "Good");
    const QByteArrayList contents = {"", "<html><body>x</body></html>\n", jpeg, "\x8f\x3a\x01\xfe"};
    QString expected;
    for (int i = 0; i < contents.size(); ++i) {
        QVERIFY(writeAll(dir->filePath(QString("bad%1.mp3").arg(i)), contents[i]));
        expected += dir->filePath(QString("bad%1.mp3: not an audio file\n").arg(i));
    }
    for (const char *command : {"rename --pattern %title%", "set --dry-run --from-name %title%"})
        QCOMPARE(QString(quillet(QString(command).split(' ') + QStringList {dir->path()}).err),
                 expected);
    QCOMPARE(entriesUnder(dir->path()).first(), QStringLiteral("Good.mp3"));
}

void TestCli::fieldsFromNamesOnlyWhatTheNameSays()
{
    const QString path = copyFixture(*dir, "tone.mp3", "Unknown Artist/00 -   - New.mp3");
    tagFile(path, QStringLiteral("Old"));
    const QStringList set = {"set", "--from-name", "%artist%/%track:2% - %album% - %title%", path};
    QVERIFY(setMode(path, 0444));
    for (const char *dry : {"--dry-run", "--jobs=1"})
        QCOMPARE(QString(quillet(set + QStringList {dry}).err),
                 path + ": permission denied; the file is unchanged\n");
    QVERIFY(setMode(path, 0644));
    QCOMPARE(quillet(set).exitCode, 0);
    const Fields read = fieldsOf(path);
    QCOMPARE(read.title + read.artist + read.album + QString::number(read.track),
             "NewArtistAlbum7");
}

void TestCli::cutOffSaveSeenFromEveryName()
{
    const QString path = copyFixture(*dir, "tone.mp3", "a.mp3"), other = dir->filePath("b.mp3");
    tagFile(path, QStringLiteral("Old"));
    QCOMPARE(link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    const QByteArray before = readAll(path);
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir->filePath("state")));
    int step = 1;
    // Killed at each write of a save through one name: the other sees the file as it was.
    for (; qputenv("QUILLET_FAULT", "exit:" + QByteArray::number(step))
         && quillet({"set", "--title", "Cut", path}).exitCode != 0;
         ++step) {
        qunsetenv("QUILLET_FAULT");
        QVERIFY(quillet({"show", other}).out.contains("title    Old"));
        QCOMPARE(readAll(path), before);
        QCOMPARE(quillet({"set", "--title", "Other", other}).exitCode, 0);
        QVERIFY(quillet({"show", path}).out.contains("title    Other"));
        QVERIFY(writeAll(path, before));
    }
    qunsetenv("QUILLET_FAULT");
    qunsetenv("XDG_STATE_HOME");
    QVERIFY(step > 2);
}

void TestCli::wmaKeepsOrderSetReplacesAll()
{
    const QString path = copyFixture(*dir, QStringLiteral("tone.wma"));
    const auto joined = [name = QFile::encodeName(path)](const char *key) {
        QString all;
        for (const auto &value : TagLib::ASF::File(name.constData()).tag()->attribute(key))
            all += QString::fromStdWString(value.toString().toWString());
        return all;
    };
    TagLib::ASF::File file(QFile::encodeName(path).constData());
    for (const char *id : {"1", "2"})
        file.tag()->addAttribute("MusicBrainz/Artist Id", TagLib::String(id));
    file.tag()->addAttribute("Author", TagLib::String("Second"));
    QVERIFY(file.save());
    const QString order = joined("MusicBrainz/Artist Id");
    QCOMPARE(quillet({"set", "--artist", "Typed", path}).exitCode, 0);
    QCOMPARE(joined("MusicBrainz/Artist Id") + joined("Author"), order);
}

void TestCli::loudness_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error"); // standard error; b.wav there: b.wav cut off in the middle
    QTest::newRow("tracks") << QStringList {"--dry-run"} << QString();
    QTest::newRow("album") << QStringList {"--dry-run", "--album", "--jobs", "1"} << QString();
    QTest::newRow("album with a file cut off")
            << QStringList {"--dry-run", "--album"}
            << "b.wav: the audio cannot be decoded to its end: it breaks off after 0.50 s\n"
               "DIR: no album gain: 1 of its 2 files could not be measured\n";
    QTest::newRow("writing") << QStringList {"--album"} << QString();
}

void TestCli::loudness()
{
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const bool cut = error.startsWith(QLatin1String("b.wav"));
    // 997 Hz sines of 5 s: BS.1770 reads 10 log10(a^2 / 2) LUFS for each channel of amplitude a.
    const QString a = dir->filePath(QStringLiteral("a.wav"));
    const QString b = dir->filePath(QStringLiteral("b.wav"));
    QVERIFY(writeSine(a, 48000, {0.1}, 5));
    QVERIFY(writeSine(b, 44100, {0.25, 0.25}, 5));
    if (cut)
        QVERIFY(QFile::resize(b, 44 + 8 * 22050));
    const QByteArray before = readAll(a) + readAll(b);
    const double lufs[] = {10 * std::log10(0.005), 10 * std::log10(0.0625)};
    // Both as long: the album is the power mean of the two.
    const double album = 10 * std::log10((0.005 + 0.0625) / 2);

    const ProgramRun run = quillet(QStringList {QStringLiteral("loudness")} + options
                                   + QStringList {dir->path()});
    QVERIFY(run.exited);
    // The message first: it says why when the status is not the one expected.
    QCOMPARE(QString::fromUtf8(run.err),
             QString(error).replace("DIR", dir->path()).replace("b.wav", b));
    QCOMPARE(run.exitCode, error.isEmpty() ? 0 : 1);
    QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList expected;
    if (error.isEmpty() || cut)
        expected = QStringList {a, b}.mid(0, cut ? 1 : 2);
    if (options.contains("--album") && error.isEmpty())
        expected.append(QStringLiteral("album ") + dir->path());
    QCOMPARE(lines.size(), expected.size());
    const QRegularExpression format(QStringLiteral(
            "^(.*): (-?\\d+\\.\\d\\d) LUFS, gain (-?\\d+\\.\\d\\d) dB, peak (\\d\\.\\d{6})$"));
    const bool writing = !options.contains("--dry-run");
    QStringList gains;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = format.match(lines[i]);
        gains.append(match.captured(3) + QStringLiteral(" dB"));
        QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
        QCOMPARE(match.captured(1), expected[i]);
        const double level = i < 2 ? lufs[i] : album;
        QVERIFY2(std::abs(match.captured(2).toDouble() - level) < 0.025, qPrintable(lines[i]));
        QVERIFY2(std::abs(match.captured(3).toDouble() - (-18 - level)) < 0.025,
                 qPrintable(lines[i]));
        QVERIFY2(std::abs(match.captured(4).toDouble() - (i == 0 ? 0.1 : 0.25)) < 0.001,
                 qPrintable(lines[i]));
    }
    if (!writing) {
        QCOMPARE(readAll(a) + readAll(b), before);
        return;
    }
    // Written as printed, each track with its own gain and both with the album's.
    for (qsizetype i = 0; i < 2; ++i) {
        const TagLib::PropertyMap written
                = TagLib::FileRef(QFile::encodeName(i == 0 ? a : b).constData())
                          .file()
                          ->properties();
        QCOMPARE(fromTagString(written["REPLAYGAIN_TRACK_GAIN"].toString()), gains[i]);
        QCOMPARE(fromTagString(written["REPLAYGAIN_ALBUM_GAIN"].toString()), gains[2]);
    }
}

void TestCli::setAnyKey_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("arguments"); // runs of set, split by ";"
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("values"); // as TagLib reads them back
    for (const char *kind : {"mp3", "flac", "m4a", "ogg"}) {
        const QString fixture = QStringLiteral("tone.") + QLatin1String(kind);
        QTest::addRow("%s album artist", kind) << fixture << QStringList {"--album-artist", "V.A."}
                                               << "ALBUMARTIST" << QStringList {"V.A."};
        QTest::addRow("%s two artists", kind)
                << fixture << QStringList {"--tag", "artist=A", "--tag", "ARTIST=B"} << "ARTIST"
                << QStringList {"A", "B"};
        QTest::addRow("%s disc and total", kind)
                << fixture << QStringList {"--disc", "2/3"} << "DISCNUMBER" << QStringList {"2/3"};
        QTest::addRow("%s track keeps its total", kind)
                << fixture << QStringList {"--track", "3/12", ";", "--track", "4"} << "TRACKNUMBER"
                << QStringList {"4/12"};
        QTest::addRow("%s removed", kind)
                << fixture << QStringList {"--composer", "C", ";", "--remove-tag", "composer"}
                << "COMPOSER" << QStringList();
    }
}

void TestCli::setAnyKey()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, arguments);
    QFETCH(QString, key);
    QFETCH(QStringList, values);
    const QString path = copyFixture(*dir, fixture);
    tagFile(path, QStringLiteral("Title"));
    for (const QString &run : arguments.join(QLatin1Char('\n')).split(QStringLiteral("\n;\n"))) {
        const ProgramRun set
                = quillet(QStringList {"set"} + run.split(QLatin1Char('\n')) + QStringList {path});
        QCOMPARE(set.err, QByteArray());
        QCOMPARE(set.exitCode, 0);
    }
    QCOMPARE(propertyValues(path, key), values);
    QCOMPARE(propertyValues(path, QStringLiteral("TITLE")), QStringList {"Title"});
}

void TestCli::pictureOfEachType_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("type");
    for (const char *kind : {"mp3", "flac"}) {
        for (const char *type : {"back", "artist", "band-logo", "other"})
            QTest::addRow("%s %s", kind, type)
                    << QStringLiteral("tone.") + QLatin1String(kind) << QString::fromLatin1(type);
    }
}

void TestCli::pictureOfEachType()
{
    QFETCH(QString, fixture);
    QFETCH(QString, type);
    const QString path = copyFixture(*dir, fixture);
    tagFile(path, QStringLiteral("Title"), jpeg);
    const QString image = dir->filePath(QStringLiteral("picture.jpg"));
    const QByteArray other = encode(filled(Qt::blue), "JPEG");
    QVERIFY(writeAll(image, other));

    QCOMPARE(quillet({"set", "--picture", type + "=" + image + ":Desc", path}).exitCode, 0);
    const QList<QJsonObject> shown = jsonLines(quillet({"show", "--json", path}).out);
    QStringList pictures;
    for (const QJsonValue &picture : shown.value(0).value("pictures").toArray())
        pictures.append(picture.toObject().value("type").toString() + QLatin1Char(' ')
                        + picture.toObject().value("description").toString());
    QCOMPARE(pictures, QStringList({"front ", type + " Desc"}));
    const QString out = dir->filePath(QStringLiteral("out"));
    QCOMPARE(quillet({"cover", "--type", type, path, out}).exitCode, 0);
    QCOMPARE(readAll(out), other);

    QCOMPARE(quillet({"set", "--remove-picture", type, path}).exitCode, 0);
    QCOMPARE(testsupport::read(path).picture, jpeg);
    QCOMPARE(quillet({"cover", "--type", type, path, out}).exitCode, 1);
}

void TestCli::csvRoundTrip()
{
    QStringList paths;
    for (const char *kind : {"mp3", "flac", "m4a"}) {
        paths.append(copyFixture(*dir, QStringLiteral("tone.") + QLatin1String(kind)));
        tagFile(paths.last(), QStringLiteral("T, \"q\"; x\\"), jpeg);
    }
    QCOMPARE(quillet({"set", "--tag", "artist=A;1", "--tag", "artist=B", paths[1]}).exitCode, 0);
    const QList<QByteArray> before = contents(paths);
    const ProgramRun shown = quillet(QStringList {"show", "--csv"} + paths);
    QCOMPARE(shown.exitCode, 0);
    const QString table = dir->filePath(QStringLiteral("tags.csv"));
    QVERIFY(writeAll(table, shown.out));
    // Nothing edited: nothing written.
    const ProgramRun same = quillet({"set", "--from-csv", table});
    QCOMPARE(same.out + same.err, QByteArray());
    QCOMPARE(contents(paths), before);

    // One cell edited: that field of that file, and nothing else.
    QByteArray edited = shown.out;
    edited.replace("A\\;1;B", "C;D");
    QVERIFY(writeAll(table, edited));
    const ProgramRun dry = quillet({"set", "--dry-run", "--from-csv", table});
    QCOMPARE(QString::fromUtf8(dry.out),
             paths[0] + ": nothing to change\n" + paths[1] + ": artist: \"A;1; B\" -> \"C; D\"\n"
                     + paths[2] + ": nothing to change\n");
    QCOMPARE(contents(paths), before);
    QCOMPARE(quillet({"set", "--from-csv", table}).exitCode, 0);
    QCOMPARE(propertyValues(paths[1], QStringLiteral("ARTIST")), QStringList({"C", "D"}));
    QCOMPARE(readAll(paths[0]), before[0]);
    QCOMPARE(readAll(paths[2]), before[2]);
}

void TestCli::csvRefused_data()
{
    QTest::addColumn<QByteArray>("table"); // FILE stands for the file's path
    QTest::addColumn<QString>("reason");
    QTest::newRow("not path") << QByteArray("file,TITLE\nFILE,X\n")
                              << "line 1: the first column must be path";
    QTest::newRow("key twice") << QByteArray("path,TITLE,title\nFILE,X,Y\n")
                               << "line 1: the column TITLE is there twice";
    QTest::newRow("short row") << QByteArray("path,TITLE\nFILE,X\nFILE\n")
                               << "line 3: 1 cells where the first row has 2";
    QTest::newRow("open quote") << QByteArray("path,TITLE\nFILE,\"X\n")
                                << "line 2: a quoted cell is not closed";
}

void TestCli::csvRefused()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, reason);
    const QString path = copyFixture(*dir, QStringLiteral("tone.flac"));
    tagFile(path, QStringLiteral("Title"));
    const QByteArray before = readAll(path);
    const QString csv = dir->filePath(QStringLiteral("t.csv"));
    QVERIFY(writeAll(csv, table.replace("FILE", path.toUtf8())));
    const ProgramRun run = quillet({"set", "--from-csv", csv});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.err),
             "quillet: " + csv + ": " + reason + "; nothing was changed\n");
    QCOMPARE(readAll(path), before);
}

void TestCli::everyFieldListed()
{
    const QString help = QString::fromUtf8(quillet({"set", "--help"}).out);
    const QString man = QString::fromUtf8(readAll(QStringLiteral(QUILLET_SOURCE "/cli/quillet.1")));
    const QString readme = QString::fromUtf8(readAll(QStringLiteral(QUILLET_SOURCE "/README.md")));
    // The rows of the table as the library's build reads them.
    const QString table = QString::fromUtf8(
            readAll(QStringLiteral(QUILLET_SOURCE "/taglibrary/fieldtable.def")));
    static const QRegularExpression row(QStringLiteral("^QUILLET_FIELD\\(\"[^\"]+\", *\"[^\"]+\", "
                                                       "*\\w+, *\"([^\"]+)\", *\"([^\"]+)\""),
                                        QRegularExpression::MultilineOption);
    int rows = 0;
    for (const QRegularExpressionMatch &match : row.globalMatch(table)) {
        ++rows;
        const QString option = QStringLiteral("--") + match.captured(1);
        const QString placeholder = QLatin1Char('%') + match.captured(2) + QLatin1Char('%');
        QVERIFY2(help.contains(option), qPrintable(option));
        QVERIFY2(man.contains(QString(option).replace(QLatin1Char('-'), QLatin1String("\\-"))),
                 qPrintable(option));
        QVERIFY2(readme.contains(QLatin1Char('`') + option), qPrintable(option));
        QVERIFY2(readme.contains(placeholder), qPrintable(placeholder));
        QVERIFY2(man.contains(placeholder), qPrintable(placeholder));
    }
    QVERIFY(rows > 40);
}

void TestCli::cover_data()
{
    QTest::addColumn<bool>("toStandardOutput");
    QTest::newRow("to a file") << false;
    QTest::newRow("to -") << true;
}

void TestCli::cover()
{
    QFETCH(bool, toStandardOutput);
    const QString wma = copyFixture(*dir, QStringLiteral("tone.wma"));
    tagFile(wma, QStringLiteral("Title"), jpeg);
    const QString out = toStandardOutput ? QStringLiteral("-") : dir->filePath("out.jpg");

    const ProgramRun run = quillet({QStringLiteral("cover"), wma, out});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(toStandardOutput ? run.out : readAll(out), jpeg);
}

void TestCli::coverMissing()
{
    const QString ogg = copyFixture(*dir, QStringLiteral("tone.ogg"));
    const QString out = dir->filePath(QStringLiteral("out.jpg"));

    const ProgramRun run = quillet({QStringLiteral("cover"), ogg, out});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, (ogg + QStringLiteral(": no cover\n")).toUtf8());
    QVERIFY(!QFile::exists(out));
}

void TestCli::badFileAmongGood_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: the fixture tone.mp3
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "gone.mp3" << QByteArray() << false << "no such file";
    QTest::newRow("not audio") << "noise.flac" << QByteArray("not a FLAC stream") << false
                               << "not an audio file";
    QTest::newRow("text named .mp3")
            << "text.mp3" << QByteArray("plain text") << false << "not an audio file";
    QTest::newRow("read-only") << "locked.mp3" << QByteArray() << true
                               << "permission denied; the file is unchanged";
}

void TestCli::badFileAmongGood()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, readOnly);
    QFETCH(QString, reason);
    const QString first = copyFixture(*dir, QStringLiteral("tone.mp3"), QStringLiteral("1.mp3"));
    const QString last = copyFixture(*dir, QStringLiteral("tone.flac"), QStringLiteral("3.flac"));
    const QString bad = dir->filePath(name);
    if (name != QLatin1String("gone.mp3")) {
        QVERIFY(content.isEmpty() ? !copyFixture(*dir, QStringLiteral("tone.mp3"), name).isEmpty()
                                  : writeAll(bad, content));
    }
    if (readOnly)
        QVERIFY(QFile::setPermissions(bad, QFile::ReadOwner));
    const QByteArray before = readAll(bad);

    const ProgramRun run
            = quillet({QStringLiteral("set"), QStringLiteral("--title"), QStringLiteral("New"),
                       QStringLiteral("--jobs"), QStringLiteral("2"), first, bad, last});
    QVERIFY(run.exited);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.err), bad + QStringLiteral(": ") + reason + QLatin1Char('\n'));
    QCOMPARE(readAll(bad), before);
    QCOMPARE(QFile::exists(bad), name != QLatin1String("gone.mp3"));
    QCOMPARE(fromWide(testsupport::read(first).tag.title), QStringLiteral("New"));
    QCOMPARE(fromWide(testsupport::read(last).tag.title), QStringLiteral("New"));
}

void TestCli::undecodableName()
{
    // A Latin-1 name, as an old archive may hold one, found by the walk and named as an argument.
    const QByteArray name = QFile::encodeName(dir->path()) + "/caf\xe9.mp3";
    const QString copy = copyFixture(*dir, QStringLiteral("tone.mp3"));
    QCOMPARE(std::rename(QFile::encodeName(copy).constData(), name.constData()), 0);
    const QString image = dir->filePath(QStringLiteral("cover.jpg"));
    QVERIFY(writeAll(image, jpeg));
    const ProgramRun set
            = quillet({QStringLiteral("set"), QStringLiteral("--title"), QStringLiteral("Nouveau"),
                       QStringLiteral("--cover"), image, dir->path()});
    QCOMPARE(set.err, QByteArray());
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(TagLib::FileRef(name.constData()).tag()->title(), TagLib::String("Nouveau"));
    // The shell makes the byte: a QProcess argument could not carry it.
    const auto run = [&](const QString &command, const QString &out) {
        return runProgram(QStringLiteral("/bin/sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("exec \"$0\" %1 \"$(printf %b \"$1\")\" "
                                          "${2:+\"$(printf %b \"$2\")\"}")
                                   .arg(command),
                           QStringLiteral(QUILLET_PROGRAM),
                           dir->path() + QStringLiteral("/caf\\0351.mp3"), out});
    };
    QVERIFY(run(QStringLiteral("show"), QString()).out.startsWith(name + "\n  title    Nouveau\n"));
    // The cover is written under the very name given, its byte kept.
    const QByteArray out = QFile::encodeName(dir->path()) + "/\xe9.jpg";
    QCOMPARE(run(QStringLiteral("cover"), dir->path() + QStringLiteral("/\\0351.jpg")).exitCode, 0);
    QFile written;
    const int fd = ::open(out.constData(), O_RDONLY);
    QVERIFY(fd >= 0 && written.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    QCOMPARE(written.readAll(), jpeg);
    QCOMPARE(::unlink(out.constData()), 0);
    QCOMPARE(::unlink(name.constData()), 0);
}

void TestCli::usageError_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList();
    QTest::newRow("unknown command") << QStringList {"list", "FILE"};
    QTest::newRow("unknown option") << QStringList {"show", "--xml", "FILE"};
    QTest::newRow("no file") << QStringList {"show", "--json"};
    QTest::newRow("nothing to set") << QStringList {"set", "FILE"};
    QTest::newRow("year not a number") << QStringList {"set", "--year", "MMI", "FILE"};
    QTest::newRow("no jobs") << QStringList {"set", "--jobs", "0", "--title", "T", "FILE"};
    QTest::newRow("loudness of nothing") << QStringList {"loudness", "--dry-run"};
    QTest::newRow("cover without OUT") << QStringList {"cover", "FILE"};
    QTest::newRow("unknown placeholder") << QStringList {"rename", "--pattern", "%name%", "FILE"};
    QTest::newRow("set twice") << QStringList {"set", "--title=T", "--from-name", "%title%",
                                               "FILE"};
    for (const char *field : {"artist", "album", "comment", "year", "track", "genre"})
        QTest::addRow("--%s and --from-name", field)
                << QStringList {"set", QStringLiteral("--%1=1").arg(field), "--from-name",
                                QStringLiteral("%%1%").arg(field), "FILE"};
}

void TestCli::usageError()
{
    QFETCH(QStringList, arguments);
    const QString mp3 = copyFixture(*dir, QStringLiteral("tone.mp3"));
    tagFile(mp3, QStringLiteral("Title"));
    const QByteArray before = readAll(mp3);
    arguments.replaceInStrings(QStringLiteral("FILE"), mp3);

    const ProgramRun run = quillet(arguments);
    QVERIFY(run.exited);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(run.err.startsWith("quillet: "));
    QCOMPARE(readAll(mp3), before);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
