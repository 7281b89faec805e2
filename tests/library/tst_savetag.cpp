// saveTag through the built library, on copies of real files. Pictures are set up and every
// result is read back with TagLib directly, so the checks do not rest on readTag.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "childprocess.h"
#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

const TagLib::String asfPictureName("WM/Picture", TagLib::String::Latin1);

} // namespace

class SaveTagTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void writesEveryField_data();
    void writesEveryField();
    void writesEmptyTextsAndZero_data();
    void writesEmptyTextsAndZero();

    void convertsNumbers_data();
    void convertsNumbers();
    void rejectsNumbers_data();
    void rejectsNumbers();

    void mpegFileWithoutPicturesGetsFrontCover();
    void mpegNewCoverBesideOtherPictures();
    void mpegOnlyFirstFrontCoverChanges();
    void asfFrontCoverIsReplacedInPlace_data();
    void asfFrontCoverIsReplacedInPlace();
    void asfFileWithoutFrontCoverGetsOne();
    void flacFrontCoverKeepsItsDetails();
    void flacFileWithoutFrontCoverGetsOne();
    void noPictureLeavesCoversAlone_data();
    void noPictureLeavesCoversAlone();

    void coverFollowsExtension_data();
    void coverFollowsExtension();
    void fileOfAnotherKindIsRejected_data();
    void fileOfAnotherKindIsRejected();
    void flacPictureMustFitMetadataBlock_data();
    void flacPictureMustFitMetadataBlock();
    void mpegCoverMustFitId3v2Tag();
    void trackerModuleIsSaved();

    void missingFileIsNotCreated();
    void readOnlyFileIsUnchanged();
    void invalidRecordIsRejected();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void SaveTagTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void SaveTagTest::writesEveryField_data()
{
    QTest::addColumn<QString>("fixture");
    for (const char *name :
         {"tone.mp3", "tone.flac", "tone.wma", "tone.ogg", "tone.m4a", "tone.wav"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void SaveTagTest::writesEveryField()
{
    QFETCH(QString, fixture);
    const QString path = copyFixture(*m_dir, fixture);

    QCOMPARE(save(path, record(QStringLiteral("1999"), QStringLiteral("12"))), 0);

    const Fields fields = fieldsOf(path);
    QCOMPARE(fields.title, QStringLiteral("Grüße 😀"));
    QCOMPARE(fields.artist, QStringLiteral("Ärzte ∑"));
    QCOMPARE(fields.album, QStringLiteral("Album ☃"));
    QCOMPARE(fields.comment, QStringLiteral("Comment 🎵 text"));
    QCOMPARE(fields.genre, QStringLiteral("Genre"));
    QCOMPARE(fields.year, 1999u);
    QCOMPARE(fields.track, 12u);

    // And the library reads back what it wrote, non-BMP characters included.
    const ReadResult read = testsupport::read(path);
    QCOMPARE(fromWide(read.tag.title), QStringLiteral("Grüße 😀"));
    QCOMPARE(fromWide(read.tag.comment), QStringLiteral("Comment 🎵 text"));
}

void SaveTagTest::writesEmptyTextsAndZero_data()
{
    writesEveryField_data();
}

void SaveTagTest::writesEmptyTextsAndZero()
{
    QFETCH(QString, fixture);
    const QString path = copyFixture(*m_dir, fixture);
    QCOMPARE(save(path, record()), 0);

    tagstruct empty;
    empty.year = L"0";
    empty.track = L"0";
    QCOMPARE(save(path, empty), 0);

    const Fields fields = fieldsOf(path);
    QCOMPARE(fields.title, QString());
    QCOMPARE(fields.artist, QString());
    QCOMPARE(fields.album, QString());
    QCOMPARE(fields.comment, QString());
    QCOMPARE(fields.genre, QString());
    QCOMPARE(fields.year, 0u);
    QCOMPARE(fields.track, 0u);
}

void SaveTagTest::convertsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<unsigned int>("expected");
    QTest::newRow("leading spaces") << QStringLiteral("  2012") << 2012u;
    QTest::newRow("other white space") << QStringLiteral("\t\n\v\f\r 2012") << 2012u;
    QTest::newRow("full date") << QStringLiteral("2012-05-01") << 2012u;
    QTest::newRow("trailing letters") << QStringLiteral("2012 AD") << 2012u;
    QTest::newRow("hex prefix") << QStringLiteral("0x10") << 0u;
    QTest::newRow("zero") << QStringLiteral("0") << 0u;
    QTest::newRow("plus sign") << QStringLiteral("+7") << 7u;
    QTest::newRow("leading zeros") << QStringLiteral("0012") << 12u;
    QTest::newRow("largest") << QStringLiteral("2147483647") << 2147483647u;
}

void SaveTagTest::convertsNumbers()
{
    QFETCH(QString, text);
    QFETCH(unsigned int, expected);
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.flac"));

    QCOMPARE(save(path, record(text, text)), 0);

    const Fields fields = fieldsOf(path);
    QCOMPARE(fields.year, expected);
    QCOMPARE(fields.track, expected);
}

void SaveTagTest::rejectsNumbers_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("inYear");
    QTest::addColumn<QString>("text");
    const QStringList bad = {QString(),
                             QStringLiteral("abc"),
                             QStringLiteral("-"),
                             QStringLiteral("+"),
                             QStringLiteral("   "),
                             QStringLiteral("x12"),
                             QStringLiteral("99999999999"),
                             QStringLiteral("2147483648"),
                             QStringLiteral("-2147483649")};
    for (const char *fixture : {"tone.mp3", "tone.flac"}) {
        for (const bool inYear : {true, false}) {
            for (const QString &text : bad) {
                const QString name
                        = QStringLiteral("%1 %2 \"%3\"")
                                  .arg(QLatin1String(fixture),
                                       inYear ? QStringLiteral("year") : QStringLiteral("track"),
                                       text);
                QTest::newRow(qPrintable(name)) << QString::fromLatin1(fixture) << inYear << text;
            }
        }
    }
}

void SaveTagTest::rejectsNumbers()
{
    QFETCH(QString, fixture);
    QFETCH(bool, inYear);
    QFETCH(QString, text);
    const QString path = copyFixture(*m_dir, fixture);
    const QByteArray before = readAll(path);

    const tagstruct tag
            = inYear ? record(text, QStringLiteral("3")) : record(QStringLiteral("2001"), text);
    QCOMPARE(save(path, tag, coverBytes("new")), -1);

    QCOMPARE(readAll(path), before);
}

void SaveTagTest::mpegFileWithoutPicturesGetsFrontCover()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    QVERIFY(mpegPictures(path).isEmpty());
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    QCOMPARE(describe(mpegPictures(path)),
             describe(QList<Picture> {{3, QStringLiteral("image/jpeg"), QString(), cover}}));
}

void SaveTagTest::mpegNewCoverBesideOtherPictures()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const Picture back {4, QStringLiteral("image/png"), QStringLiteral("back"), coverBytes("back")};
    const Picture artist {8, QStringLiteral("image/png"), QStringLiteral("artist"),
                          coverBytes("artist")};
    QVERIFY(addPictures(path, {back, artist}));
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    // Neither is a front cover, though the last is shown as the cover: both stay.
    const Picture front {3, QStringLiteral("image/jpeg"), QString(), cover};
    QCOMPARE(describe(mpegPictures(path)), describe(QList<Picture> {back, artist, front}));
}

void SaveTagTest::mpegOnlyFirstFrontCoverChanges()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const Picture first {3, QStringLiteral("image/png"), QStringLiteral("one"), coverBytes("one")};
    const Picture second {3, QStringLiteral("image/png"), QStringLiteral("two"), coverBytes("two")};
    QVERIFY(addPictures(path, {first, second}));
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    const Picture replaced {3, QStringLiteral("image/jpeg"), QStringLiteral("one"), cover};
    QCOMPARE(describe(mpegPictures(path)), describe(QList<Picture> {replaced, second}));
}

void SaveTagTest::asfFrontCoverIsReplacedInPlace_data()
{
    QTest::addColumn<QList<Picture>>("before");
    QTest::addColumn<int>("front");
    const Picture front {3, QStringLiteral("image/png"), QStringLiteral("front"), coverBytes("f")};
    const Picture back {4, QStringLiteral("image/png"), QStringLiteral("back"), coverBytes("b")};
    const Picture artist {8, QStringLiteral("image/gif"), QStringLiteral("artist"),
                          coverBytes("a")};
    const Picture secondFront {3, QStringLiteral("image/png"), QStringLiteral("second"),
                               coverBytes("s")};
    // Over 64 KiB a picture no longer fits where TagLib stores the first one of a name.
    const Picture large {5, QStringLiteral("image/png"), QStringLiteral("large"),
                         coverBytes("l", 70000)};
    QTest::newRow("front, other") << QList<Picture> {front, back} << 0;
    QTest::newRow("other, front") << QList<Picture> {back, front} << 1;
    QTest::newRow("other, front, other") << QList<Picture> {back, front, artist} << 1;
    QTest::newRow("two front covers") << QList<Picture> {front, secondFront, back} << 0;
    QTest::newRow("large other") << QList<Picture> {large, front, back} << 1;
}

void SaveTagTest::asfFrontCoverIsReplacedInPlace()
{
    QFETCH(QList<Picture>, before);
    QFETCH(int, front);
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.wma"));
    QVERIFY(addPictures(path, before));
    QCOMPARE(describe(asfPictures(path)), describe(before));
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    QList<Picture> expected = before;
    expected[front].mime = QStringLiteral("image/jpeg");
    expected[front].bytes = cover;
    QCOMPARE(describe(asfPictures(path)), describe(expected));
    QCOMPARE(testsupport::read(path).picture, cover);
}

void SaveTagTest::asfFileWithoutFrontCoverGetsOne()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.wma"));
    const Picture back {4, QStringLiteral("image/png"), QStringLiteral("back"), coverBytes("b")};
    QVERIFY(addPictures(path, {back}));
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    const Picture added {3, QStringLiteral("image/jpeg"), QString(), cover};
    QCOMPARE(describe(asfPictures(path)), describe(QList<Picture> {back, added}));
}

void SaveTagTest::flacFrontCoverKeepsItsDetails()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.flac"));
    const Picture front {
            3, QStringLiteral("image/png"), QStringLiteral("front"), coverBytes("f"), 500, 400};
    const Picture back {4, QStringLiteral("image/png"), QStringLiteral("back"), coverBytes("b"), 10,
                        10};
    QVERIFY(addPictures(path, {back, front}));
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    // Its stated size is the new image's: these bytes state none.
    Picture replaced = front;
    replaced.mime = QStringLiteral("image/jpeg");
    replaced.bytes = cover;
    replaced.width = replaced.height = 0;
    QCOMPARE(describe(flacPictures(path)), describe(QList<Picture> {back, replaced}));
}

void SaveTagTest::flacFileWithoutFrontCoverGetsOne()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.flac"));
    const Picture back {4, QStringLiteral("image/png"), QStringLiteral("back"), coverBytes("b"), 10,
                        10};
    QVERIFY(addPictures(path, {back}));
    const QByteArray cover = coverBytes("new");

    QCOMPARE(save(path, record(), cover), 0);

    const Picture added {3, QStringLiteral("image/jpeg"), QString(), cover};
    QCOMPARE(describe(flacPictures(path)), describe(QList<Picture> {back, added}));
}

void SaveTagTest::noPictureLeavesCoversAlone_data()
{
    QTest::addColumn<QString>("fixture");
    for (const char *name : {"tone.mp3", "tone.wma", "tone.flac"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void SaveTagTest::noPictureLeavesCoversAlone()
{
    QFETCH(QString, fixture);
    const QString path = copyFixture(*m_dir, fixture);
    const QList<Picture> pictures {
            {3, QStringLiteral("image/png"), QStringLiteral("front"), coverBytes("f")},
            {4, QStringLiteral("image/png"), QStringLiteral("back"), coverBytes("b")}};
    QVERIFY(addPictures(path, pictures));
    const QStringList before = describe(picturesOf(path));

    QCOMPARE(save(path, record()), 0);

    QCOMPARE(describe(picturesOf(path)), before);
    QCOMPARE(fieldsOf(path).title, recordTitle);
}

void SaveTagTest::coverFollowsExtension_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("covers");
    // Extensions count in any case; a file without one gets the text fields only.
    QTest::newRow("MP3 in capitals") << "tone.mp3"
                                     << "TONE.MP3" << 1;
    QTest::newRow("Flac in mixed case") << "tone.flac"
                                        << "tone.Flac" << 1;
    QTest::newRow("WMA in capitals") << "tone.wma"
                                     << "tone.WMA" << 1;
    QTest::newRow("mp3 without extension") << "tone.mp3"
                                           << "tone" << 0;
    QTest::newRow("flac without extension") << "tone.flac"
                                            << "toneflac" << 0;
    QTest::newRow("dot in a folder name") << "tone.mp3"
                                          << "folder.mp3/tone" << 0;
    // TagLib opens it as MPEG: the name's kind keeps covers otherwise, so it gets none.
    QTest::newRow("MP3 named .flac") << "tone.mp3"
                                     << "tone.flac" << 0;
}

void SaveTagTest::coverFollowsExtension()
{
    QFETCH(QString, fixture);
    QFETCH(QString, name);
    QFETCH(int, covers);
    const QString path = copyFixture(*m_dir, fixture, name);

    QCOMPARE(save(path, record(), coverBytes("new")), 0);

    QCOMPARE(fieldsOf(path).title, recordTitle);
    const QByteArray native = fileNameBytes(path);
    const TagLib::FileRef ref(native.constData(), false);
    QVERIFY(!ref.isNull());
    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file())) {
        const TagLib::ID3v2::Tag *tag = mpeg->ID3v2Tag(false);
        QCOMPARE(tag ? int(tag->frameList("APIC").size()) : 0, covers);
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(ref.file())) {
        QCOMPARE(int(flac->pictureList().size()), covers);
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(ref.file())) {
        QCOMPARE(int(asf->tag()->attribute(asfPictureName).size()), covers);
    } else {
        QFAIL("unexpected kind of file");
    }
}

void SaveTagTest::fileOfAnotherKindIsRejected_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("FLAC stream named .mp3") << "flac.mp3" << readAll(fixture("tone.flac"));
    QTest::newRow("Ogg stream named .mp3") << "ogg.mp3" << readAll(fixture("tone.ogg"));
    QTest::newRow("text named .mp3")
            << "text.mp3" << QByteArray("Not audio at all, just a few words.\n");
    QTest::newRow("text named .flac") << "text.flac" << QByteArray("fLaC but nothing more");
    QTest::newRow("empty file named .mp3") << "empty.mp3" << QByteArray();
    // TagLib reports a length of INT_MIN ms for it; the saved copy cannot be shown to match.
    QTest::newRow("Vorbis stream with a broken length")
            << "broken-length.ogg" << readAll(fixture("vorbis-length-int-min.ogg"));
}

void SaveTagTest::fileOfAnotherKindIsRejected()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = m_dir->filePath(name);
    QVERIFY(writeAll(path, content));

    QCOMPARE(save(path, record()), -1);
    QCOMPARE(save(path, record(), coverBytes("new")), -1);

    QCOMPARE(readAll(path), content);
}

void SaveTagTest::mpegCoverMustFitId3v2Tag()
{
    // An ID3v2 tag's size has 28 bits: a bigger cover would be cut and the file damaged.
    const QString path = copyFixture(*m_dir, "tone.mp3");
    const QByteArray before = readAll(path);
    QCOMPARE(save(path, record(), coverBytes("huge", (1 << 28) + 1024)), -1);
    QCOMPARE(readAll(path), before);

    // A large cover well within the limit is still written.
    const QByteArray large = coverBytes("large", 80 << 20);
    QCOMPARE(save(path, record(), large), 0);
    const QList<Picture> pictures = mpegPictures(path);
    QCOMPARE(pictures.size(), 1);
    QVERIFY(pictures.at(0).bytes == large);
}

void SaveTagTest::trackerModuleIsSaved()
{
    // Modules have no sample rate, but TagLib checks their signature when it opens them.
    const QString path = copyFixture(*m_dir, "empty.xm");
    tagstruct tag = record();
    tag.title = L"Module title";
    QCOMPARE(save(path, tag), 0);
    QCOMPARE(fieldsOf(path).title, QStringLiteral("Module title"));

    // Text that merely calls itself a module is not one.
    const QString fake = m_dir->filePath("fake.xm");
    QVERIFY(writeAll(fake, "Extended Module: but nothing more"));
    QCOMPARE(save(fake, tag), -1);
    QCOMPARE(readAll(fake), QByteArray("Extended Module: but nothing more"));
}

void SaveTagTest::flacPictureMustFitMetadataBlock_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("extra");
    QTest::addColumn<int>("result");
    // A picture block holds 32 bytes of fixed fields, "image/jpeg", the description and the
    // picture, in a length field of 24 bits.
    QTest::newRow("new picture, largest") << QString() << 0 << 0;
    QTest::newRow("new picture, one byte more") << QString() << 1 << -1;
    QTest::newRow("found picture, largest") << QStringLiteral("front") << 0 << 0;
    QTest::newRow("found picture, one byte more") << QStringLiteral("front") << 1 << -1;
}

void SaveTagTest::flacPictureMustFitMetadataBlock()
{
    QFETCH(QString, description);
    QFETCH(int, extra);
    QFETCH(int, result);
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.flac"));
    if (!description.isEmpty()) {
        QVERIFY(addPictures(path,
                            {{3, QStringLiteral("image/png"), description, coverBytes("old")}}));
    }
    const QByteArray before = readAll(path);
    const int largest = 0xFFFFFF - 32 - 10 - description.toUtf8().size();

    const QByteArray cover = coverBytes("big", largest + extra);
    QCOMPARE(save(path, record(), cover), result);

    if (result != 0) {
        QCOMPARE(readAll(path), before);
        return;
    }
    const QList<Picture> pictures = flacPictures(path);
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures.first().bytes.size(), cover.size());
    QCOMPARE(pictures.first().bytes, cover);
    QCOMPARE(fieldsOf(path).title, recordTitle);
}

void SaveTagTest::missingFileIsNotCreated()
{
    const QString path = m_dir->filePath(QStringLiteral("missing.mp3"));
    QCOMPARE(save(path, record(), coverBytes("new")), -1);
    QVERIFY(!QFileInfo::exists(path));

    const QString inMissingFolder = m_dir->filePath(QStringLiteral("nowhere/missing.flac"));
    QCOMPARE(save(inMissingFolder, record()), -1);
    QVERIFY(!QFileInfo::exists(inMissingFolder));

    QCOMPARE(save(QString(), record()), -1);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void SaveTagTest::readOnlyFileIsUnchanged()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    // The folder is open to everybody: only the file itself forbids writing.
    QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7777)));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray before = readAll(path);

    const std::optional<int> result = runInChild(
            [&] { return save(path, record(), coverBytes("new")); }, ChildRights::Unprivileged);
    QVERIFY(result.has_value());
    QCOMPARE(*result, -1);

    QCOMPARE(readAll(path), before);
}

void SaveTagTest::invalidRecordIsRejected()
{
    const QString path = copyFixture(*m_dir, QStringLiteral("tone.mp3"));
    const QByteArray before = readAll(path);

    QCOMPARE(saveTag(wide(path), nullptr), -1);

    tagstruct negative = record();
    QByteArray cover = coverBytes("new");
    negative.picture = cover.data();
    negative.pictureSize = -1;
    QCOMPARE(saveTag(wide(path), &negative), -1);

    tagstruct missing = record();
    missing.picture = nullptr;
    missing.pictureSize = 16;
    QCOMPARE(saveTag(wide(path), &missing), -1);

    QCOMPARE(readAll(path), before);
}

QTEST_GUILESS_MAIN(SaveTagTest)

#include "tst_savetag.moc"
