// The engine under both interfaces: a change set of one key written into every kind of file,
// read back with TagLib directly, and the traps other programs' users have hit.
#include <QTemporaryDir>
#include <QTest>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/xiphcomment.h>

#include "engine.h"
#include "fieldtable.h"
#include "savetesting.h"
#include "testsupport.h"

using namespace testsupport;

namespace {

const QStringList kinds = {"tone.mp3", "tone.flac", "tone.ogg", "tone.opus", "tone.m4a",
                           "tone.wma", "tone.wv",   "tone.tta", "tone.aiff", "tone.wav"};

// Every property of the file read with TagLib, one "KEY=value" line per value.
QStringList propertiesOf(const QString &path)
{
    QStringList lines;
    const TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    const auto *asf = dynamic_cast<TagLib::ASF::File *>(ref.file());
    for (const auto &property : ref.isNull() ? TagLib::PropertyMap() : ref.file()->properties()) {
        for (const TagLib::String &value : property.second)
            lines << fromTagString(property.first) + '=' + fromTagString(value);
        // ASF's further artists are attributes of their own.
        for (const auto &value : asf &&property.first == "ARTIST" ? asf->tag()->attribute("Author")
                                                                  : TagLib::ASF::AttributeList())
            lines << "ARTIST=" + fromTagString(value.toString());
    }
    return lines;
}

void setWithTagLib(const QString &path, const QStringList &lines)
{
    TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    TagLib::PropertyMap properties = ref.file()->properties();
    for (const QString &line : lines)
        properties.erase(tagString(line.section('=', 0, 0)));
    for (const QString &line : lines)
        properties.insert(tagString(line.section('=', 0, 0)), tagString(line.section('=', 1)));
    ref.file()->setProperties(properties);
    QVERIFY(ref.save());
}

quillet::ChangeSet setting(const QString &key, const QStringList &values)
{
    quillet::ChangeSet changes;
    quillet::Property property {key.toStdString(), {}};
    for (const QString &value : values)
        property.values.push_back(value.toStdString());
    changes.set.push_back(property);
    return changes;
}

QStringList linesOf(const QString &key, const QStringList &values)
{
    QStringList lines;
    for (const QString &value : values)
        lines << key + '=' + value;
    return lines;
}

TagLib::ID3v2::Tag *id3v2Of(TagLib::FileRef &ref)
{
    auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file());
    return mpeg ? mpeg->ID3v2Tag() : nullptr;
}

// The TXXX frames of an MP3 file, "DESCRIPTION=value" with the description in upper case.
QStringList txxxFrames(const QString &path)
{
    TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    QStringList frames;
    for (const TagLib::ID3v2::Frame *frame : id3v2Of(ref)->frameList("TXXX")) {
        const auto *txxx = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
        frames << fromTagString(txxx->description()).toUpper() + '='
                        + fromTagString(txxx->fieldList().back());
    }
    return frames;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void oneKey_data();
    void oneKey();
    void knownFields_data();
    void knownFields();
    void readsEverything_data() { kindRows(); }
    void readsEverything();
    void picture_data() { kindRows(); }
    void picture();
    void musicBrainzIds();
    void txxxInOtherCase();
    void xiphTotals_data();
    void xiphTotals();
    void commentKeepsOthers();

private:
    void kindRows()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &kind : kinds)
            QTest::newRow(qPrintable(kind)) << kind;
    }
};

// One key written into a file whose other fields TagLib set: the key reads back as written,
// every other property as it was. Several values read back as the same list.
void TestEngine::oneKey_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("values");
    const struct
    {
        const char *key;
        QStringList values;
    } keys[] = {
            {"ALBUMARTIST", {"Band ü"}},
            {"COMPOSER", {"One", "Two"}},
            {"MUSICBRAINZ_ALBUMID", {"5c2e4d0e-7f2d-4a4b-9f1a-2c5d1f0e9b71"}},
            {"DATE", {"2001-05-12"}},
            {"BPM", {"120"}},
            {"TITLE", {}},
    };
    for (const QString &kind : kinds + QStringList {"tone.mp3:v2.3"}) {
        for (const auto &key : keys) {
            QTest::addRow("%s %s", qPrintable(kind), key.key) << kind << key.key << key.values;
        }
    }
    QTest::newRow("tone.wma ARTIST") << "tone.wma"
                                     << "ARTIST" << QStringList {"A", "B", "C"};
}

void TestEngine::oneKey()
{
    QFETCH(QString, kind);
    QFETCH(QString, key);
    QFETCH(QStringList, values);
    QTemporaryDir dir;
    const QString path = copyFixture(dir, kind.section(':', 0, 0));
    QVERIFY(writeFields(path));
    setWithTagLib(path, {"GENRE=Test", "LABEL=Imprint"});
    if (kind.endsWith(":v2.3")) {
        TagLib::MPEG::File file(fileNameBytes(path).constData(), false);
        QVERIFY(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3));
    }
    QStringList before = propertiesOf(path);
    quillet::ChangeSet changes = setting(key, values);
    if (values.isEmpty()) {
        changes.set.clear();
        changes.remove.push_back(key.toStdString());
    }
    QVERIFY2(quillet::saveChanges(wide(path), changes), strerror(errno));

    const QStringList after = propertiesOf(path);
    const QStringList written = after.filter(QRegularExpression("^" + key + "="));
    QCOMPARE(written, linesOf(key, values));
    before.removeIf([&](const QString &line) { return line.startsWith(key + '='); });
    QStringList others = after;
    others.removeIf([&](const QString &line) { return line.startsWith(key + '='); });
    QCOMPARE(others, before);
}

// Every row of the field table, in each way of keeping tags, reads back through the engine as
// written.
void TestEngine::knownFields_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    for (const QString kind : {"tone.mp3", "tone.flac", "tone.m4a", "tone.wma", "tone.wv"}) {
        for (const quillet::KnownField &field : quillet::knownFields) {
            const QString key = QString::fromLatin1(field.key.data(), field.key.size());
            const char *value = field.kind == quillet::FieldKind::Text ? "Words"
                    : field.kind == quillet::FieldKind::Number         ? "1"
                                                                       : "3/12";
            QTest::addRow("%s %s", qPrintable(kind), qPrintable(key)) << kind << key << value;
        }
    }
}

void TestEngine::knownFields()
{
    QFETCH(QString, kind);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = copyFixture(dir, kind);
    QVERIFY2(quillet::saveChanges(wide(path), setting(key, {value})), strerror(errno));
    quillet::FullTag tag;
    QVERIFY(quillet::readFull(wide(path), tag));
    QStringList read;
    for (const quillet::Property &property : tag.properties) {
        if (QString::fromStdString(property.key) == key) {
            for (const std::string &text : property.values)
                read << QString::fromStdString(text);
        }
    }
    QCOMPARE(read, QStringList {value});
}

void TestEngine::readsEverything()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = copyFixture(dir, kind);
    QVERIFY(writeFields(path));
    quillet::FullTag tag;
    QVERIFY(quillet::readFull(wide(path), tag));
    QStringList lines;
    for (const quillet::Property &property : tag.properties) {
        for (const std::string &value : property.values)
            lines << QString::fromStdString(property.key + '=' + value);
    }
    QCOMPARE(lines, propertiesOf(path));
    QVERIFY(tag.audio.present);
    QVERIFY(tag.audio.lengthMs > 0 && tag.audio.sampleRate > 0 && tag.audio.channels > 0);
    QVERIFY(!tag.audio.format.empty());
}

// A back cover put beside what the file has, then removed: the other pictures stay. Put with a
// key into a file without tags, both read back.
void TestEngine::picture()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    quillet::ChangeSet::PictureChange put;
    put.type = quillet::PictureType::BackCover;
    put.picture.data = encode(QImage(3, 2, QImage::Format_RGB32), "PNG").toStdString();
    const QString fresh = copyFixture(dir, kind, "fresh-" + kind);
    quillet::ChangeSet both = setting("ARTIST", {"Band"});
    both.pictures.push_back(put);
    QVERIFY2(quillet::saveChanges(wide(fresh), both), strerror(errno));
    QVERIFY(propertiesOf(fresh).contains("ARTIST=Band") && picturesOf(fresh).size() == 1);
    const QString path = copyFixture(dir, kind);
    const QByteArray front = coverBytes("front");
    QCOMPARE(save(path, record(), front), 0);
    const QList<Picture> before = picturesOf(path);

    quillet::ChangeSet changes;
    changes.pictures.push_back(put);
    QVERIFY2(quillet::saveChanges(wide(path), changes), strerror(errno));
    quillet::FullTag tag;
    QVERIFY(quillet::readFull(wide(path), tag));
    QCOMPARE(tag.pictures.size(), std::size_t(before.size() + 1));
    QCOMPARE(QByteArray::fromStdString(tag.pictures.front().data), front);
    const quillet::Picture &back = tag.pictures.back();
    QCOMPARE(back.mime, "image/png");
    QCOMPARE(back.width, 3);
    QCOMPARE(back.height, 2);

    changes.pictures.front().action = quillet::ChangeSet::PictureChange::Action::Remove;
    QVERIFY(quillet::saveChanges(wide(path), changes));
    QCOMPARE(describe(picturesOf(path)), describe(before));
}

// TagLib's MUSICBRAINZ_TRACKID is the recording's identifier, a UFID frame; the release track's
// is a TXXX frame of its own.
void TestEngine::musicBrainzIds()
{
    QTemporaryDir dir;
    const QString path = copyFixture(dir, "tone.mp3");
    quillet::ChangeSet changes = setting("MUSICBRAINZ_TRACKID", {"recording"});
    changes.set.push_back({"MUSICBRAINZ_RELEASETRACKID", {"track"}});
    QVERIFY(quillet::saveChanges(wide(path), changes));
    TagLib::FileRef ref(fileNameBytes(path).constData(), false);
    const TagLib::ID3v2::FrameList ufid = id3v2Of(ref)->frameList("UFID");
    QCOMPARE(ufid.size(), 1u);
    const auto *frame = dynamic_cast<TagLib::ID3v2::UniqueFileIdentifierFrame *>(ufid.front());
    QCOMPARE(fromTagString(frame->owner()), "http://musicbrainz.org");
    QCOMPARE(byteArray(frame->identifier()), "recording");
    QCOMPARE(txxxFrames(path), QStringList {"MUSICBRAINZ RELEASE TRACK ID=track"});
}

// A TXXX frame another program wrote in other letter case is the same field: one frame remains.
void TestEngine::txxxInOtherCase()
{
    QTemporaryDir dir;
    const QString path = copyFixture(dir, "tone.mp3");
    {
        TagLib::FileRef ref(fileNameBytes(path).constData(), false);
        id3v2Of(ref)->addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(
                "MusicBrainz Album Id", TagLib::StringList("old"), TagLib::String::UTF8));
        QVERIFY(ref.save());
    }
    QVERIFY(quillet::saveChanges(wide(path), setting("MUSICBRAINZ_ALBUMID", {"new"})));
    QCOMPARE(txxxFrames(path), QStringList {"MUSICBRAINZ ALBUM ID=new"});
}

// A changed total goes where the file keeps totals; a number alone keeps the total.
void TestEngine::xiphTotals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("expected");
    for (const QString kind : {"tone.flac", "tone.ogg"}) {
        const QByteArray k = kind.toLatin1();
        QTest::addRow("%s TRACKTOTAL", k.data())
                << kind << QStringList {"TRACKNUMBER=3", "TRACKTOTAL=9"} << "5/12"
                << QStringList {"TRACKNUMBER=5", "TRACKTOTAL=12"};
        QTest::addRow("%s both", k.data())
                << kind << QStringList {"TRACKNUMBER=3", "TRACKTOTAL=9", "TOTALTRACKS=9"} << "5/12"
                << QStringList {"TOTALTRACKS=12", "TRACKNUMBER=5", "TRACKTOTAL=12"};
        QTest::addRow("%s slash", k.data()) << kind << QStringList {"TRACKNUMBER=3/9"} << "5/12"
                                            << QStringList {"TRACKNUMBER=5/12"};
        QTest::addRow("%s none", k.data()) << kind << QStringList {"TRACKNUMBER=3"} << "5/12"
                                           << QStringList {"TRACKNUMBER=5", "TRACKTOTAL=12"};
        QTest::addRow("%s number alone", k.data()) << kind << QStringList {"TRACKNUMBER=3/9"} << "5"
                                                   << QStringList {"TRACKNUMBER=5/9"};
        QTest::addRow("%s disc", k.data())
                << kind << QStringList {"DISCNUMBER=1", "TOTALDISCS=1"} << "D2/3"
                << QStringList {"DISCNUMBER=2", "TOTALDISCS=3"};
    }
}

void TestEngine::xiphTotals()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, fields);
    QFETCH(QString, number);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = copyFixture(dir, kind);
    setWithTagLib(path, fields);
    const bool disc = number.startsWith('D');
    QVERIFY(quillet::saveChanges(
            wide(path), setting(disc ? "DISCNUMBER" : "TRACKNUMBER", {number.remove('D')})));
    QCOMPARE(propertiesOf(path).filter(QRegularExpression("^(TRACK|DISC|TOTAL)")), expected);
}

// One comment changed in its place; the other comment frames stay as they were.
void TestEngine::commentKeepsOthers()
{
    QTemporaryDir dir;
    const QString path = copyFixture(dir, "tone.mp3");
    QVERIFY(addId3v2Comments(path, {"eng//plain", "deu/Notiz/described"}));
    QVERIFY(quillet::saveChanges(wide(path), setting("COMMENT", {"changed"})));
    QCOMPARE(id3v2Comments(path), QStringList({"eng//changed", "deu/Notiz/described"}));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
