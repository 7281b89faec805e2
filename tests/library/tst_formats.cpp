// Every kind of file the library keeps covers for, and saves that leave alone what the user did
// not change. Results are read back with TagLib directly.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include "childprocess.h"
#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

const Picture front {3, QStringLiteral("image/jpeg"), QStringLiteral("front.jpg"),
                     coverBytes("front")};
const Picture back {4, QStringLiteral("image/png"), QStringLiteral("back.png"),
                    QByteArray("\x89PNG\r\n\x1a\n") + coverBytes("back").mid(8)};

// Every property of the file, one line per value.
QStringList propertiesOf(const QString &path)
{
    QStringList lines;
    const TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    if (ref.isNull())
        return lines;
    for (const auto &property : ref.file()->properties()) {
        for (const TagLib::String &value : property.second)
            lines << fromTagString(property.first) + QLatin1Char('=') + fromTagString(value);
    }
    return lines;
}

// Which tag types the file has on disk, and the ID3v2 version, where a format has a choice.
QString tagLayout(const QString &path)
{
    const TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    QStringList layout;
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file())) {
        if (mpeg->hasID3v2Tag())
            layout << QStringLiteral("ID3v2.%1").arg(mpeg->ID3v2Tag()->header()->majorVersion());
        if (mpeg->hasID3v1Tag())
            layout << QStringLiteral("ID3v1");
        if (mpeg->hasAPETag())
            layout << QStringLiteral("APE");
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(ref.file())) {
        if (wav->hasID3v2Tag())
            layout << QStringLiteral("ID3v2.%1").arg(wav->ID3v2Tag()->header()->majorVersion());
        if (wav->hasInfoTag())
            layout << QStringLiteral("INFO");
    }
    return layout.join(QLatin1Char('+'));
}

void setProperties(const QString &path, const QStringList &lines)
{
    TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    TagLib::PropertyMap properties;
    for (const QString &line : lines)
        properties[tagString(line.section('=', 0, 0))].append(tagString(line.section('=', 1)));
    ref.file()->setProperties(properties);
    QVERIFY(ref.save());
}

// The record readTag gives for the file, with a new title.
tagstruct retitled(const QString &path, const QString &title)
{
    ReadResult result = read(path);
    result.tag.title = wide(title);
    return result.tag;
}

} // namespace

class FormatsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void coverInEveryFormat_data();
    void coverInEveryFormat();
    void keepsWhatWasNotChanged_data();
    void keepsWhatWasNotChanged();
    void newCoverKeepsOtherPictures_data();
    void newCoverKeepsOtherPictures();
    void clearingCommentKeepsOtherComments_data();
    void clearingCommentKeepsOtherComments();
    void trackKeepsTotal_data();
    void trackKeepsTotal();
    void id3v1KeepsReadableText_data();
    void id3v1KeepsReadableText();
    void pictureStatesItsImage_data();
    void pictureStatesItsImage();
    void xiphCommentIsComment_data();
    void xiphCommentIsComment();
    void onlyRegularFiles_data();
    void onlyRegularFiles();
    void fileOfItsKindWithoutAudioIsSaved();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void FormatsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void FormatsTest::coverInEveryFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QList<Picture>>("pictures"); // what the file holds before
    QTest::addColumn<int>("cover"); // index of the cover among them; -1: none
    QTest::addColumn<Picture>("written"); // how the new cover reads back, with TagLib
    const QByteArray bytes = coverBytes("new");
    const Picture jpeg {3, QStringLiteral("image/jpeg"), QString(), bytes};
    const Picture mp4 {-1, QStringLiteral("image/jpeg"), QString(), bytes};
    const Picture ape {3, QString(), QStringLiteral("front.jpg"), bytes};
    const Picture newApe {3, QString(), QStringLiteral("cover.jpg"), bytes};
    Picture keptName = jpeg;
    keptName.description = front.description;
    Picture mp4Front = front, mp4Back = back;
    mp4Front.type = mp4Back.type = -1;
    mp4Front.description = mp4Back.description = QString();
    Picture apeFront = front, apeBack = back;
    apeFront.mime = apeBack.mime = QString();

    // ID3v2, alone and inside other containers.
    for (const char *name : {"tone.mp3", "tone.aiff", "tone.wav", "tone.tta"}) {
        QTest::addRow("%s", name) << name << name << QList<Picture> {back, front} << 1 << keptName;
        QTest::addRow("%s without", name) << name << name << QList<Picture>() << -1 << jpeg;
    }
    // Xiph comments, by FLAC's rules; FLAC and ASF themselves.
    for (const char *name : {"tone.ogg", "tone.opus", "tone.flac", "tone.wma"}) {
        QTest::addRow("%s", name) << name << name << QList<Picture> {back, front} << 1 << keptName;
        QTest::addRow("%s without", name) << name << name << QList<Picture>() << -1 << jpeg;
    }
    // MP4: the first image is the cover.
    QTest::newRow("tone.m4a") << "tone.m4a"
                              << "tone.m4a" << QList<Picture> {mp4Front, mp4Back} << 0 << mp4;
    QTest::newRow("tone.m4a without") << "tone.m4a"
                                      << "tone.m4a" << QList<Picture>() << -1 << mp4;
    // APE: the front item keeps its file name.
    QTest::newRow("tone.wv") << "tone.wv"
                             << "tone.wv" << QList<Picture> {apeFront, apeBack} << 0 << ape;
    QTest::newRow("tone.wv without") << "tone.wv"
                                     << "tone.wv" << QList<Picture>() << -1 << newApe;
    // The extension counts in any case.
    QTest::newRow("TONE.OPUS") << "TONE.OPUS"
                               << "tone.opus" << QList<Picture> {back, front} << 1 << keptName;
}

void FormatsTest::coverInEveryFormat()
{
    QFETCH(QString, name);
    QFETCH(QString, fixture);
    QFETCH(QList<Picture>, pictures);
    QFETCH(int, cover);
    QFETCH(Picture, written);
    const QString path = copyFixture(*m_dir, fixture, name);
    if (!pictures.isEmpty())
        QVERIFY(addPictures(path, pictures));
    QCOMPARE(describe(picturesOf(path)), describe(pictures));

    QCOMPARE(read(path).picture, cover < 0 ? QByteArray() : pictures.at(cover).bytes);
    QCOMPARE(save(path, retitled(path, QStringLiteral("New")), written.bytes), 0);

    // The cover is replaced in its place; every other picture stays as it was.
    QList<Picture> expected = pictures;
    if (cover < 0)
        expected.append(written);
    else
        expected[cover] = written;
    QCOMPARE(describe(picturesOf(path)), describe(expected));
    QCOMPARE(read(path).picture, written.bytes);
}

void FormatsTest::keepsWhatWasNotChanged_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<int>("layout"); // how the tags are first written; see below
    enum { Plain, Id3v23, Id3v24AndId3v1, InfoOnly };
    for (const char *name : {"tone.flac", "tone.ogg", "tone.opus", "tone.m4a", "tone.wma",
                             "tone.wv", "tone.tta", "tone.aiff", "tone.wav"})
        QTest::addRow("%s", name) << name << int(Plain);
    QTest::newRow("mp3, ID3v2.3 alone") << "tone.mp3" << int(Id3v23);
    QTest::newRow("mp3, ID3v2.4 and ID3v1") << "tone.mp3" << int(Id3v24AndId3v1);
    QTest::newRow("wav, INFO alone") << "tone.wav" << int(InfoOnly);
}

void FormatsTest::keepsWhatWasNotChanged()
{
    QFETCH(QString, fixture);
    QFETCH(int, layout);
    const QString path = copyFixture(*m_dir, fixture);
    {
        TagLib::FileRef ref(fileNameBytes(path).constData(), false);
        TagLib::PropertyMap properties;
        properties["TITLE"] = TagLib::String("Old");
        properties["ARTIST"] = TagLib::StringList(TagLib::String("Alice")).append("Bob");
        properties["DATE"] = TagLib::String("2012-05-01");
        properties["TRACKNUMBER"] = TagLib::String("3/12");
        properties["COMPOSER"] = TagLib::String("Zed");
        ref.file()->setProperties(properties);
        auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file());
        auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(ref.file());
        if (layout == 1)
            QVERIFY(mpeg->save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                               TagLib::ID3v2::v3));
        else if (layout == 3)
            QVERIFY(wav->save(TagLib::RIFF::WAV::File::Info));
        else
            QVERIFY(ref.save());
    }
    const QStringList before = propertiesOf(path);
    const QString layoutBefore = tagLayout(path);

    QCOMPARE(save(path, retitled(path, QStringLiteral("New"))), 0);

    QStringList expected = before;
    expected.replaceInStrings(QStringLiteral("TITLE=Old"), QStringLiteral("TITLE=New"));
    QCOMPARE(propertiesOf(path), expected);
    QCOMPARE(tagLayout(path), layoutBefore);
}

void FormatsTest::newCoverKeepsOtherPictures_data()
{
    QTest::addColumn<QString>("fixture");
    for (const char *name :
         {"tone.mp3", "tone.wav", "tone.aiff", "tone.tta", "tone.flac", "tone.ogg", "tone.wma"})
        QTest::newRow(name) << name;
}

void FormatsTest::newCoverKeepsOtherPictures()
{
    QFETCH(QString, fixture);
    const QString path = copyFixture(*m_dir, fixture);
    QVERIFY(addPictures(path, {back}));
    // Where the back cover is shown for want of a front one, handing it back writes nothing.
    QCOMPARE(save(path, retitled(path, "New"), read(path).picture), 0);
    QCOMPARE(describe(picturesOf(path)), describe(QList<Picture> {back}));

    const Picture added {3, "image/png", QString(), QByteArray(back.bytes).replace(8, 4, "new!")};
    QCOMPARE(save(path, retitled(path, "New"), added.bytes), 0);
    QCOMPARE(describe(picturesOf(path)), describe(QList<Picture> {back, added}));
}

void FormatsTest::clearingCommentKeepsOtherComments_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QStringList>("after");
    const QStringList others {"eng/iTunNORM/ 0000021A", "deu//Alt", "eng/note/A note"};
    const QStringList before = QStringList {"eng//Old"} + others;
    for (const char *name : {"tone.mp3", "tone.wav", "tone.aiff", "tone.tta"}) {
        QTest::addRow("%s, cleared", name)
                << name << before << "" << QStringList {"eng//"} + others;
        QTest::addRow("%s, changed", name)
                << name << before << "New" << QStringList {"eng//New"} + others;
    }
    QTest::newRow("the only one") << "tone.mp3" << QStringList {"eng//Old"} << "" << QStringList();
}

void FormatsTest::clearingCommentKeepsOtherComments()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, before);
    QFETCH(QString, comment);
    QFETCH(QStringList, after);
    const QString path = copyFixture(*m_dir, fixture);
    QVERIFY(addId3v2Comments(path, before));
    tagstruct tag = read(path).tag;
    QCOMPARE(fromWide(tag.comment), QStringLiteral("Old"));

    tag.comment = wide(comment);
    QCOMPARE(save(path, tag), 0);
    QCOMPARE(id3v2Comments(path), after);
    QCOMPARE(fromWide(read(path).tag.comment), comment);
}

void FormatsTest::trackKeepsTotal_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("track"); // a track of 0 comes with a year of 0
    QTest::addColumn<QStringList>("after");
    const QStringList before {"DATE=2001", "TRACKNUMBER=3/12"};
    for (const char *name : {"tone.mp3", "tone.m4a", "tone.wv", "tone.ogg", "tone.wma"}) {
        QTest::addRow("%s", name) << name << before << "5"
                                  << QStringList {"DATE=2001", "TRACKNUMBER=5/12"};
        QTest::addRow("%s, 0", name) << name << before << "0" << QStringList();
    }
    const QStringList separate {"TRACKNUMBER=3", "TRACKTOTAL=12"};
    QTest::newRow("flac, TRACKTOTAL")
            << "tone.flac" << separate << "5" << QStringList {"TRACKNUMBER=5", "TRACKTOTAL=12"};
    QTest::newRow("flac, TRACKTOTAL, 0")
            << "tone.flac" << separate << "0" << QStringList {"TRACKTOTAL=12"};
}

void FormatsTest::trackKeepsTotal()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, before);
    QFETCH(QString, track);
    QFETCH(QStringList, after);
    const QString path = copyFixture(*m_dir, fixture);
    setProperties(path, before);
    tagstruct tag = read(path).tag;
    tag.track = wide(track);
    tag.year = track == QLatin1String("0") ? L"0" : tag.year;

    QCOMPARE(save(path, tag), 0);
    QCOMPARE(propertiesOf(path).filter(QRegularExpression("^(DATE|TRACK)")), after);
}

void FormatsTest::id3v1KeepsReadableText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("latin1");
    QTest::newRow("check mark") << "New title ✓"
                                << "New title ?";
    QTest::newRow("Cyrillic") << "Тест Щука"
                              << "Test Shchuka";
    QTest::newRow("diacritics") << "Dvořák – Ærø"
                                << "Dvorák - Ærø";
    QTest::newRow("outside the BMP") << "Łódź 😀"
                                     << "Lódz ?";
    QTest::newRow("cut between characters") << QString(27, 'a') + "Щ" << QString(27, 'a');
    QTest::newRow("all 30 bytes") << QString(29, 'a') + "é" << QString(29, 'a') + "é";
}

void FormatsTest::id3v1KeepsReadableText()
{
    QFETCH(QString, text);
    QFETCH(QString, latin1);
    const QString path = copyFixture(*m_dir, "tone.mp3");
    QVERIFY(writeFields(path)); // ID3v2 and ID3v1
    tagstruct tag = read(path).tag;
    tag.title = tag.artist = tag.album = wide(text);
    QCOMPARE(save(path, tag), 0);

    TagLib::MPEG::File file(fileNameBytes(path).constData(), false);
    QCOMPARE(fromTagString(file.ID3v1Tag()->title()), latin1);
    QCOMPARE(fromTagString(file.ID3v1Tag()->album()), latin1);
    QCOMPARE(fromTagString(file.ID3v2Tag()->album()), text);
}

void FormatsTest::pictureStatesItsImage_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<Picture>("expected"); // without its bytes
    QImage colour(128, 96, QImage::Format_RGB32);
    colour.fill(Qt::darkCyan);
    QImage indexed
            = colour.convertToFormat(QImage::Format_Indexed8, {qRgb(0, 0, 0), qRgb(1, 2, 3)});
    const QByteArray png = encode(colour.convertToFormat(QImage::Format_ARGB32), "PNG");
    const auto row = [](const char *name, const QByteArray &image, const char *mime, int width,
                        int height, int depth, int colours) {
        QTest::newRow(name) << image
                            << Picture {3, mime, QString(), {}, width, height, depth, colours};
    };
    row("JPEG", encode(colour, "JPEG"), "image/jpeg", 128, 96, 24, 0);
    row("JPEG, grey", encode(colour.convertToFormat(QImage::Format_Grayscale8), "JPEG"),
        "image/jpeg", 128, 96, 8, 0);
    row("PNG", png, "image/png", 128, 96, 32, 0);
    row("PNG, indexed", encode(indexed, "PNG"), "image/png", 128, 96, 8, 2);
    row("BMP", encode(colour, "BMP"), "image/bmp", 128, 96, 24, 0);
    row("BMP, indexed", encode(indexed, "BMP"), "image/bmp", 128, 96, 4, 2);
    row("GIF", QByteArray("GIF89a\x28\x00\x1E\x00\xF2\x00\x00", 13) + QByteArray(24, 'c'),
        "image/gif", 40, 30, 3, 8);
    row("PNG cut short", png.left(20), "image/png", 0, 0, 0, 0);
    row("unknown", QByteArray(64, 'x'), "image/jpeg", 0, 0, 0, 0);
}

void FormatsTest::pictureStatesItsImage()
{
    QFETCH(QByteArray, image);
    QFETCH(Picture, expected);
    expected.bytes = image;
    for (const char *fixture : {"tone.flac", "tone.ogg"}) {
        const QString path = copyFixture(*m_dir, fixture);
        // The old front cover states another size and depth, which must not stay.
        QVERIFY(addPictures(path,
                            {{3, "image/png", QString(), coverBytes("old"), 200, 200, 24, 0}}));
        QCOMPARE(save(path, retitled(path, "New"), image), 0);
        QCOMPARE(describe(picturesOf(path)), describe(QList<Picture> {expected}));
    }
}

void FormatsTest::xiphCommentIsComment_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QStringList>("after");
    const QStringList both {"COMMENT=Comment", "DESCRIPTION=Description"};
    const QStringList alone {"DESCRIPTION=Description"};
    for (const char *name : {"tone.ogg", "tone.flac"}) {
        QTest::addRow("%s, both", name)
                << name << both << "New" << QStringList {"COMMENT=New", "DESCRIPTION=Description"};
        QTest::addRow("%s, DESCRIPTION", name)
                << name << alone << "New" << QStringList {"COMMENT=New", "DESCRIPTION=Description"};
        QTest::addRow("%s, both cleared", name) << name << both << "" << alone;
        QTest::addRow("%s, DESCRIPTION cleared", name) << name << alone << "" << QStringList();
    }
}

void FormatsTest::xiphCommentIsComment()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, before);
    QFETCH(QString, comment);
    QFETCH(QStringList, after);
    const QString path = copyFixture(*m_dir, fixture);
    setProperties(path, before);
    tagstruct tag = read(path).tag;
    QCOMPARE(fromWide(tag.comment), before.first().section('=', 1));

    tag.comment = wide(comment);
    QCOMPARE(save(path, tag), 0);
    QCOMPARE(propertiesOf(path).filter(QRegularExpression("^(COMMENT|DESCRIPTION)=")), after);
}

void FormatsTest::onlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "link";
    QTest::newRow("folder") << "folder";
}

void FormatsTest::onlyRegularFiles()
{
    QFETCH(QString, kind);
    const QString fifo = m_dir->filePath(QStringLiteral("pipe.mp3"));
    QString path = fifo;
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else {
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        if (kind == QLatin1String("link")) {
            path = m_dir->filePath(QStringLiteral("song.mp3"));
            QVERIFY(QFile::link(fifo, path));
        }
    }
    // A FIFO would keep TagLib waiting for a writer: the alarm turns a hang into a failure.
    const std::optional<int> result = runInChild([&] {
        alarm(20);
        tagstruct tag;
        readTag(wide(path), &tag);
        return tag.info.empty() && tag.title.empty() && save(path, record()) == -1 ? 0 : 1;
    });
    QCOMPARE(result, std::optional<int>(0));
}

void FormatsTest::fileOfItsKindWithoutAudioIsSaved()
{
    // An MP4 file holding video alone: no audio stream, but an MP4 file all the same.
    const QString path = copyFixture(*m_dir, QStringLiteral("video.mp4"));
    QCOMPARE(save(path, record()), 0);
    QCOMPARE(fieldsOf(path).title, recordTitle);
}

QTEST_GUILESS_MAIN(FormatsTest)
#include "tst_formats.moc"
