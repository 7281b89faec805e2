// readTag through the built library, on real files whose tags and pictures are set up here with
// TagLib directly.
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include "testsupport.h"

using namespace testsupport;

namespace {

struct Picture
{
    int type;
    QByteArray bytes;
};

} // namespace

Q_DECLARE_METATYPE(Picture)

namespace {

// Distinct bytes per picture, so a test can tell which one readTag returned.
QByteArray pictureBytes(const char *name)
{
    return QByteArray("\xFF\xD8\xFF\xE0 picture ") + name;
}

TagLib::ByteVector byteVector(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
}

bool addMpegPictures(const QString &path, const QList<Picture> &pictures)
{
    TagLib::MPEG::File file(fileNameBytes(path).constData());
    for (const Picture &picture : pictures) {
        auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/jpeg");
        frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
        frame->setPicture(byteVector(picture.bytes));
        file.ID3v2Tag(true)->addFrame(frame);
    }
    return file.save();
}

bool addFlacPictures(const QString &path, const QList<Picture> &pictures)
{
    TagLib::FLAC::File file(fileNameBytes(path).constData());
    for (const Picture &picture : pictures) {
        auto *flacPicture = new TagLib::FLAC::Picture;
        flacPicture->setMimeType("image/jpeg");
        flacPicture->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
        flacPicture->setData(byteVector(picture.bytes));
        file.addPicture(flacPicture);
    }
    return file.save();
}

bool addAsfPictures(const QString &path, const QList<Picture> &pictures)
{
    TagLib::ASF::File file(fileNameBytes(path).constData());
    // TagLib 1.13 writes attributes of one name in reverse order; add them reversed so that the
    // file holds them in the listed order.
    for (auto it = pictures.crbegin(); it != pictures.crend(); ++it) {
        const Picture &picture = *it;
        TagLib::ASF::Picture asfPicture;
        asfPicture.setMimeType("image/jpeg");
        asfPicture.setType(static_cast<TagLib::ASF::Picture::Type>(picture.type));
        asfPicture.setPicture(byteVector(picture.bytes));
        file.tag()->addAttribute("WM/Picture", TagLib::ASF::Attribute(asfPicture));
    }
    return file.save();
}

bool addPictures(const QString &path, const QList<Picture> &pictures)
{
    if (path.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive))
        return addMpegPictures(path, pictures);
    if (path.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive))
        return addFlacPictures(path, pictures);
    return addAsfPictures(path, pictures);
}

bool setTitle(const QString &path, const QString &title)
{
    TagLib::FileRef ref(fileNameBytes(path).constData());
    if (ref.isNull())
        return false;
    ref.tag()->setTitle(tagString(title));
    return ref.save();
}

bool setProperties(const QString &path, const TagLib::PropertyMap &properties)
{
    TagLib::FileRef ref(fileNameBytes(path).constData());
    if (ref.isNull())
        return false;
    ref.file()->setProperties(properties);
    return ref.save();
}

// The audio block as TagLib reports the file's properties.
QString audioBlock(const QString &path)
{
    TagLib::FileRef ref(fileNameBytes(path).constData(), true, TagLib::AudioProperties::Average);
    const TagLib::AudioProperties *audio = ref.audioProperties();
    if (!audio)
        return QString();
    const int length = audio->lengthInSeconds();
    return QStringLiteral("-- AUDIO --\nbitrate     - %1\nsample rate - %2\nchannels    - %3\n"
                          "length      - %4:%5\n")
            .arg(audio->bitrate())
            .arg(audio->sampleRate())
            .arg(audio->channels())
            .arg(length / 60)
            .arg(length % 60);
}

} // namespace

class TestReadTag : public QObject
{
    Q_OBJECT

private slots:
    void sevenFields_data();
    void sevenFields();
    void yearAndTrack_data();
    void yearAndTrack();
    void report();
    void reportOfEmptyPropertyMap();
    void length_data();
    void length();
    void cover_data();
    void cover();
    void coverFollowsExtension_data();
    void coverFollowsExtension();
    void emptyPicture_data();
    void emptyPicture();
    void mpegWithoutId3v2Tag();
    void recordIsReset_data();
    void recordIsReset();
    void brokenFiles_data();
    void brokenFiles();

private:
    QTemporaryDir m_dir;
};

void TestReadTag::sevenFields_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("title");
    for (const char *name : {"tone.mp3", "tone.flac", "tone.wma", "tone.ogg", "tone.m4a"}) {
        QTest::addRow("%s", name) << name << QStringLiteral("Plain title");
        QTest::addRow("%s non-BMP", name) << name << QStringLiteral("Grüße 😀 𝄞");
    }
}

void TestReadTag::sevenFields()
{
    QFETCH(QString, fixture);
    QFETCH(QString, title);
    const QString path = copyFixture(m_dir, fixture, QString::number(qHash(title)) + fixture);
    {
        TagLib::FileRef ref(fileNameBytes(path).constData());
        QVERIFY(!ref.isNull());
        ref.tag()->setTitle(tagString(title));
        ref.tag()->setArtist(tagString(QStringLiteral("Artíst ✓")));
        ref.tag()->setAlbum(tagString(QStringLiteral("Album 🎵")));
        ref.tag()->setComment(tagString(QStringLiteral("A comment")));
        ref.tag()->setGenre(tagString(QStringLiteral("Jazz")));
        ref.tag()->setYear(1999);
        ref.tag()->setTrack(7);
        QVERIFY(ref.save());
    }

    const ReadResult result = read(path);
    QCOMPARE(fromWide(result.tag.title), title);
    QCOMPARE(fromWide(result.tag.artist), QStringLiteral("Artíst ✓"));
    QCOMPARE(fromWide(result.tag.album), QStringLiteral("Album 🎵"));
    QCOMPARE(fromWide(result.tag.comment), QStringLiteral("A comment"));
    QCOMPARE(fromWide(result.tag.genre), QStringLiteral("Jazz"));
    QCOMPARE(fromWide(result.tag.year), QStringLiteral("1999"));
    QCOMPARE(fromWide(result.tag.track), QStringLiteral("7"));
    // One character per wchar_t: the emoji is one element, not a surrogate pair.
    if (title.contains(QStringLiteral("😀")))
        QCOMPARE(result.tag.title.size(), std::size_t(9));
    QVERIFY(fromWide(result.tag.info).contains(QStringLiteral("\"%1\"\n").arg(title)));
}

void TestReadTag::yearAndTrack_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("trackNumber");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("track");
    QTest::newRow("missing") << QString() << QString() << "0"
                             << "0";
    QTest::newRow("four digits") << "2015"
                                 << "12"
                                 << "2015"
                                 << "12";
    QTest::newRow("longer numbers keep four digits") << "20150"
                                                     << "123456"
                                                     << "2015"
                                                     << "1234";
}

void TestReadTag::yearAndTrack()
{
    QFETCH(QString, date);
    QFETCH(QString, trackNumber);
    // A Xiph comment keeps numbers of any length, so the four-character cut is visible.
    const QString path
            = copyFixture(m_dir, "tone.flac", QString("year-%1.flac").arg(QTest::currentDataTag()));
    TagLib::PropertyMap properties;
    properties.insert("TITLE", TagLib::StringList("x"));
    if (!date.isEmpty())
        properties.insert("DATE", TagLib::StringList(tagString(date)));
    if (!trackNumber.isEmpty())
        properties.insert("TRACKNUMBER", TagLib::StringList(tagString(trackNumber)));
    QVERIFY(setProperties(path, properties));

    const ReadResult result = read(path);
    QTEST(fromWide(result.tag.year), "year");
    QTEST(fromWide(result.tag.track), "track");
}

void TestReadTag::report()
{
    const QString path = copyFixture(m_dir, "tone.flac", "report.flac");
    TagLib::PropertyMap properties;
    TagLib::StringList artists;
    artists.append("First");
    artists.append("Second");
    artists.append(tagString(QStringLiteral("Third 😀")));
    properties.insert("ARTIST", artists);
    properties.insert("TITLE", TagLib::StringList("Song"));
    properties.insert("TRACKNUMBER", TagLib::StringList("7"));
    properties.insert("DISCNUMBER", TagLib::StringList("1"));
    QVERIFY(setProperties(path, properties));

    // Keys ascend; every key is padded to the longest one, TRACKNUMBER.
    const QString expected = QStringLiteral("-- TAG (properties)\n"
                                            "ARTIST      - \"First\"\n"
                                            "ARTIST      - \"Second\"\n"
                                            "ARTIST      - \"Third 😀\"\n"
                                            "DISCNUMBER  - \"1\"\n"
                                            "TITLE       - \"Song\"\n"
                                            "TRACKNUMBER - \"7\"\n")
            + audioBlock(path);
    QVERIFY(expected.contains(QLatin1String("sample rate - 8000\n")));
    QCOMPARE(fromWide(read(path).tag.info), expected);
}

void TestReadTag::reportOfEmptyPropertyMap()
{
    // The fixture has no tag in the file, but TagLib gives every MPEG file an (empty) tag.
    const QString path = copyFixture(m_dir, "tone.mp3", "empty-map.mp3");
    const ReadResult result = read(path);
    QCOMPARE(fromWide(result.tag.info), QStringLiteral("-- TAG (properties)\n") + audioBlock(path));
    QCOMPARE(fromWide(result.tag.year), QStringLiteral("0"));
    QCOMPARE(fromWide(result.tag.track), QStringLiteral("0"));
    QVERIFY(result.tag.title.empty());
}

void TestReadTag::length_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("line");
    QTest::newRow("59 s") << "silence-59.flac"
                          << "length      - 0:59\n";
    QTest::newRow("60 s") << "silence-60.flac"
                          << "length      - 1:0\n";
    QTest::newRow("185 s") << "silence-185.flac"
                           << "length      - 3:5\n";
    QTest::newRow("under a second") << "tone-half.flac"
                                    << "length      - 0:0\n";
}

void TestReadTag::length()
{
    QFETCH(QString, fixture);
    QFETCH(QString, line);
    const QString info = fromWide(read(copyFixture(m_dir, fixture)).tag.info);
    QVERIFY2(info.endsWith(line), qPrintable(info));
    QVERIFY(info.startsWith(QLatin1String("-- TAG (properties)\n")));
    QVERIFY(info.contains(QLatin1String("\nsample rate - 8000\nchannels    - 1\n")));
}

void TestReadTag::cover_data()
{
    const int front = 3, back = 4, artist = 8, other = 0;
    const QByteArray a = pictureBytes("a"), b = pictureBytes("b"), c = pictureBytes("c");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QList<Picture>>("pictures");
    QTest::addColumn<QByteArray>("expected"); // null: no cover

    for (const char *name : {"tone.mp3", "tone.flac", "tone.wma"}) {
        const bool mp3 = QByteArray(name).endsWith("mp3");
        QTest::addRow("%s none", name) << name << QList<Picture>() << QByteArray();
        QTest::addRow("%s one front", name) << name << QList<Picture> {{front, a}} << a;
        QTest::addRow("%s two fronts: first", name)
                << name << QList<Picture> {{front, a}, {front, b}} << a;
        QTest::addRow("%s front after others", name)
                << name << QList<Picture> {{back, a}, {front, b}, {artist, c}} << b;
        // Only MPEG falls back to the last picture when none is a front cover.
        QTest::addRow("%s back then artist", name)
                << name << QList<Picture> {{back, a}, {artist, b}} << (mp3 ? b : QByteArray());
        QTest::addRow("%s only a back cover", name)
                << name << QList<Picture> {{back, a}} << (mp3 ? a : QByteArray());
        QTest::addRow("%s type other", name)
                << name << QList<Picture> {{other, c}} << (mp3 ? c : QByteArray());
    }
}

void TestReadTag::cover()
{
    QFETCH(QString, fixture);
    QFETCH(QList<Picture>, pictures);
    QFETCH(QByteArray, expected);
    const QString path = copyFixture(m_dir, fixture,
                                     QString("cover-%1.%2")
                                             .arg(qHash(QTest::currentDataTag()))
                                             .arg(QFileInfo(fixture).suffix()));
    if (!pictures.isEmpty())
        QVERIFY(addPictures(path, pictures));
    const QByteArray before = readAll(path);

    const ReadResult first = read(path);
    QCOMPARE(first.hasPicture, !expected.isNull());
    QCOMPARE(first.picture, expected);
    QCOMPARE(first.tag.pictureSize, expected.size());
    // Reading changes nothing, and a second read (the WMA copy was deleted) finds the same.
    QCOMPARE(read(path).picture, expected);
    QCOMPARE(readAll(path), before);
}

void TestReadTag::coverFollowsExtension_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("covered");
    // Extensions count in any case, as TagLib takes them.
    QTest::newRow("upper case mp3") << "tone.mp3"
                                    << "SONG.MP3" << true;
    QTest::newRow("mixed case flac") << "tone.flac"
                                     << "Song.Flac" << true;
    QTest::newRow("upper case wma") << "tone.wma"
                                    << "x.WMA" << true;
    QTest::newRow("no dot") << "tone.mp3"
                            << "song" << false;
    QTest::newRow("dot only in a folder") << "tone.flac"
                                          << "a.b/song" << false;
    QTest::newRow("dot in folder, none in file") << "tone.mp3"
                                                 << "folder.mp3/song" << false;
    QTest::newRow("mp3 named .flac") << "tone.mp3"
                                     << "song.flac" << false;
}

void TestReadTag::coverFollowsExtension()
{
    QFETCH(QString, fixture);
    QFETCH(QString, name);
    QFETCH(bool, covered);
    // The pictures go in under the real extension; then the file is renamed.
    const QString prepared = copyFixture(m_dir, fixture, "exact-" + fixture);
    QVERIFY(addPictures(prepared, {{3, pictureBytes("front")}}));
    QVERIFY(setTitle(prepared, "Named"));
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(QFile::rename(prepared, path));

    const ReadResult result = read(path);
    QCOMPARE(fromWide(result.tag.title), QStringLiteral("Named")); // TagLib still opens it
    QCOMPARE(result.hasPicture, covered);
    QCOMPARE(result.picture, covered ? pictureBytes("front") : QByteArray());
}

void TestReadTag::emptyPicture_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("mp3") << "tone.mp3";
    QTest::newRow("flac") << "tone.flac";
}

void TestReadTag::emptyPicture()
{
    QFETCH(QString, fixture);
    const QString path = copyFixture(m_dir, fixture, "empty-picture-" + fixture);
    QVERIFY(addPictures(path, {{3, QByteArray("")}}));

    tagstruct tag;
    readTag(wide(path), &tag);
    QVERIFY(tag.picture != nullptr); // an empty cover is still a cover the caller releases
    QCOMPARE(tag.pictureSize, 0);
    delete[] tag.picture;
}

void TestReadTag::mpegWithoutId3v2Tag()
{
    const QString path = copyFixture(m_dir, "tone.mp3", "no-id3v2.mp3");
    const QByteArray before = readAll(path);
    QVERIFY(!before.startsWith("ID3"));
    const ReadResult result = read(path);
    QVERIFY(!result.hasPicture);
    QCOMPARE(readAll(path), before); // the lookup created no tag
}

void TestReadTag::recordIsReset_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: the file does not exist
    QTest::newRow("missing") << "missing.mp3" << QByteArray();
    QTest::newRow("unknown format") << "notes.txt" << QByteArray("just some text\n");
    QTest::newRow("empty path") << QString() << QByteArray();
    QTest::newRow("folder") << "." << QByteArray();
    QTest::newRow("readable, without a cover") << "tone.mp3" << readAll(fixture("tone.mp3"));
}

void TestReadTag::recordIsReset()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QString path;
    if (!name.isEmpty())
        path = name == QLatin1String(".") ? m_dir.path() : m_dir.filePath(name);
    if (!content.isNull())
        QVERIFY(writeAll(path, content));
    const bool readable = name == QLatin1String("tone.mp3");

    // Stale values from an earlier file, and a stale pointer the library must not release.
    tagstruct tag;
    for (std::wstring *text : {&tag.title, &tag.album, &tag.artist, &tag.comment, &tag.year,
                               &tag.track, &tag.genre, &tag.info})
        *text = L"stale";
    char stale[4] = {};
    tag.picture = stale;
    tag.pictureSize = 4;

    QCOMPARE(readTag(wide(path), &tag), 0);
    for (const std::wstring *text : {&tag.title, &tag.album, &tag.artist, &tag.comment, &tag.genre})
        QVERIFY(text->empty());
    // A readable file without a tag reports its numbers as "0", and its audio.
    QCOMPARE(fromWide(tag.year), readable ? QStringLiteral("0") : QString());
    QCOMPARE(fromWide(tag.track), readable ? QStringLiteral("0") : QString());
    QCOMPARE(tag.info.empty(), !readable);
    QVERIFY(tag.picture == nullptr);
    QCOMPARE(tag.pictureSize, 0);
}

void TestReadTag::brokenFiles_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("source"); // fixture whose prefixes are tried; empty: random bytes
    for (const char *extension : {"mp3", "flac", "wma", "ogg", "m4a", "wav"}) {
        QTest::addRow("random .%s", extension) << extension << QString();
        QTest::addRow("truncated .%s", extension) << extension << QString("tone.%1").arg(extension);
    }
    // Real streams under a foreign extension.
    QTest::newRow("flac named .mp3") << "mp3"
                                     << "tone.flac";
    QTest::newRow("wma named .flac") << "flac"
                                     << "tone.wma";
    QTest::newRow("ogg named .wma") << "wma"
                                    << "tone.ogg";
}

void TestReadTag::brokenFiles()
{
    QFETCH(QString, extension);
    QFETCH(QString, source);
    QRandomGenerator random(1234);
    QList<QByteArray> inputs;
    if (source.isEmpty()) {
        for (int i = 0; i < 40; ++i) {
            QByteArray bytes(random.bounded(1, 4096), Qt::Uninitialized);
            for (char &byte : bytes)
                byte = static_cast<char>(random.bounded(256));
            inputs << bytes;
        }
    } else {
        QByteArray whole = readAll(fixture(source));
        inputs << whole;
        for (int cut = 1; cut < whole.size(); cut += qMax(1, whole.size() / 40))
            inputs << whole.left(cut);
        // Corrupt bytes across the header and tag area.
        for (int i = 0; i < 20; ++i) {
            QByteArray damaged = whole;
            for (int k = 0; k < 8; ++k)
                damaged[random.bounded(qMin<int>(damaged.size(), 512))] = char(random.bounded(256));
            inputs << damaged;
        }
    }

    const QString path = m_dir.filePath("broken." + extension);
    for (const QByteArray &input : inputs) {
        QVERIFY(writeAll(path, input));
        ReadResult result = read(path);
        QVERIFY(result.tag.pictureSize >= 0);
        QCOMPARE(result.picture.size(), result.tag.pictureSize);
        QCOMPARE(readAll(path), input);
    }
}

QTEST_GUILESS_MAIN(TestReadTag)
#include "tst_readtag.moc"
