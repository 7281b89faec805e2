// Loudness measured on signals whose loudness BS.1770 states: a 997 Hz sine of amplitude a in
// one channel reads 10 log10(a^2 / 2) LUFS (-3.01 at full scale), channels adding their power.
// Everything is measured on copies in a temporary folder.
#include "loudness.h"
#include "testsupport.h"

#include <QtTest>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

#include <cmath>

using namespace testsupport;

namespace {

double sineLufs(const QList<double> &amplitudes)
{
    double power = 0;
    for (const double a : amplitudes)
        power += a * a / 2;
    return 10 * std::log10(power);
}

QString tagValue(const QList<loudness::Tag> &tags, const QString &key)
{
    for (const loudness::Tag &tag : tags) {
        if (tag.key == key)
            return tag.value;
    }
    return QStringLiteral("(none)");
}

// Every key of the file as TagLib reads it ("KEY=value|value"), MP4 freeform items and ASF
// attributes it has no property for too, and the audio's length.
QStringList items(const QString &path)
{
    const TagLib::FileRef ref(QFile::encodeName(path).constData());
    const TagLib::PropertyMap properties = ref.file()->properties();
    QStringList items {QString::number(ref.audioProperties()->lengthInMilliseconds())};
    for (const auto &property : properties)
        items.append(fromTagString(property.first) + '='
                     + fromTagString(property.second.toString("|")));
    for (const TagLib::String &name : properties.unsupportedData()) {
        TagLib::StringList values;
        if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(ref.file()))
            values = mp4->tag()->item(name).toStringList();
        if (auto *asf = dynamic_cast<TagLib::ASF::File *>(ref.file())) {
            for (const TagLib::ASF::Attribute &value : asf->tag()->attribute(name))
                values.append(value.toString());
        }
        items.append(fromTagString(name).section(':', -1) + '='
                     + fromTagString(values.toString("|")));
    }
    items.sort();
    return items;
}

// The Opus header's output gain set to gain (Q7.8), and the first page's checksum with it.
void setOpusGain(QByteArray &file, qint16 gain)
{
    qToLittleEndian(gain, file.data() + file.indexOf("OpusHead") + 16);
    int pageSize = 27 + uchar(file[26]);
    for (int i = 0; i < uchar(file[26]); ++i)
        pageSize += uchar(file[27 + i]);
    qToLittleEndian(quint32(0), file.data() + 22);
    quint32 crc = 0;
    for (int i = 0; i < pageSize; ++i) {
        crc ^= quint32(uchar(file[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    qToLittleEndian(crc, file.data() + 22);
}

} // namespace

class TestLoudness : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sine_data();
    void sine();
    void truePeakBetweenSamples();
    void albumFromAllBlocks();
    void notMeasured_data();
    void notMeasured();
    void opusGains();
    void tagTexts_data();
    void tagTexts();
    void written_data();
    void written();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestLoudness::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestLoudness::sine_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QList<double>>("amplitudes");
    QTest::newRow("full-scale mono, 48 kHz") << 48000 << QList<double> {1.0};
    QTest::newRow("-20 dBFS stereo, 44.1 kHz") << 44100 << QList<double> {0.1, 0.1};
    QTest::newRow("unequal stereo, 48 kHz") << 48000 << QList<double> {0.5, 0.125};
    QTest::newRow("quiet mono, 44.1 kHz") << 44100 << QList<double> {0.01};
}

void TestLoudness::sine()
{
    QFETCH(int, rate);
    QFETCH(QList<double>, amplitudes);
    const QString path = dir->filePath(QStringLiteral("sine.wav"));
    QVERIFY(writeSine(path, rate, amplitudes, 5));

    const loudness::Track track = loudness::measureTrack(path);
    QCOMPARE(track.error, QString());
    const double expected = sineLufs(amplitudes);
    QVERIFY2(std::abs(track.lufs - expected) < 0.02,
             qPrintable(QStringLiteral("%1 LUFS, expected %2").arg(track.lufs).arg(expected)));
    const double peak = *std::max_element(amplitudes.begin(), amplitudes.end());
    QVERIFY2(std::abs(track.peak - peak) < 0.002 * peak, qPrintable(QString::number(track.peak)));

    const QString gain = tagValue(loudness::tags(track, nullptr, false), "REPLAYGAIN_TRACK_GAIN");
    QVERIFY(std::abs(gain.chopped(3).toDouble() - (-18 - expected)) < 0.025);
}

void TestLoudness::truePeakBetweenSamples()
{
    // A quarter of the sample rate, 45 degrees off: every sample is at 0.707 of the peak.
    const QString path = dir->filePath(QStringLiteral("between.wav"));
    QVERIFY(writeSine(path, 48000, {0.5}, 2, 12000, M_PI / 4));
    const loudness::Track track = loudness::measureTrack(path);
    QCOMPARE(track.error, QString());
    QVERIFY2(track.peak > 0.49 && track.peak < 0.52, qPrintable(QString::number(track.peak)));
}

void TestLoudness::albumFromAllBlocks()
{
    // 10 s at -20 LUFS and 2 s at -10 LUFS: the album is the power mean of all their blocks (all
    // above both gates), not the mean of the two: -16.30 LUFS, where the mean is -15.
    const double quiet = std::pow(10.0, (-20 + 3.0103) / 20);
    const double loud = std::pow(10.0, (-10 + 3.0103) / 20);
    const QString first = dir->filePath(QStringLiteral("1.wav"));
    const QString second = dir->filePath(QStringLiteral("2.wav"));
    QVERIFY(writeSine(first, 44100, {quiet}, 10));
    QVERIFY(writeSine(second, 48000, {loud}, 2));
    const loudness::Track tracks[]
            = {loudness::measureTrack(first), loudness::measureTrack(second)};
    const loudness::Album album = loudness::measureAlbum({&tracks[0], &tracks[1]});
    QVERIFY(album.measured);
    // Gating blocks of 400 ms, one every 100 ms: 97 in 10 s, 17 in 2 s.
    const double expected = 10 * std::log10((97 * 0.01 + 17 * 0.1) / (97 + 17));
    QVERIFY2(std::abs(album.lufs - expected) < 0.02, qPrintable(QString::number(album.lufs)));
    QCOMPARE(album.peak, std::max(tracks[0].peak, tracks[1].peak));

    const QList<loudness::Tag> tags = loudness::tags(tracks[0], &album, false);
    QCOMPARE(tagValue(tags, "REPLAYGAIN_ALBUM_GAIN"), loudness::gainText(-18 - album.lufs));
    QCOMPARE(tagValue(tags, "REPLAYGAIN_ALBUM_PEAK"), loudness::peakText(tracks[1].peak));
}

void TestLoudness::notMeasured_data()
{
    QTest::addColumn<QString>("fixture"); // empty: a WAV made here
    QTest::addColumn<qint64>("keep"); // bytes kept from its start; -1 all
    QTest::addColumn<QString>("error");
    const QString early = QStringLiteral("the audio");
    QTest::newRow("WAV cut at a whole sample") << QString() << qint64(44 + 8 * 24000) << early;
    for (const char *kind : {"flac", "mp3", "ogg", "opus", "wv", "wma"})
        QTest::newRow(kind) << QStringLiteral("tone.%1").arg(kind) << qint64(-2) << QString();
    QTest::newRow("missing") << QString() << qint64(-3) << QStringLiteral("no such file");
    QTest::newRow("empty") << QStringLiteral("tone.flac") << qint64(0) << QString();
    QTest::newRow("garbage") << QStringLiteral("garbage") << qint64(-1) << QString();
    QTest::newRow("no audio stream")
            << QStringLiteral("video.mp4") << qint64(-1) << QStringLiteral("no audio stream");
    QTest::newRow("cancelled") << QStringLiteral("tone.flac") << qint64(-1)
                               << QStringLiteral("cancelled");
}

void TestLoudness::notMeasured()
{
    QFETCH(QString, fixture);
    QFETCH(qint64, keep);
    QFETCH(QString, error);
    const QString path = dir->filePath(QStringLiteral("cut.") + QFileInfo(fixture).suffix());
    if (fixture == QLatin1String("garbage")) {
        QByteArray bytes;
        for (int i = 0; i < 5000; ++i)
            bytes.append(char(i * 7919 % 251));
        QVERIFY(writeAll(path, bytes));
    } else if (fixture.isEmpty() && keep != -3) {
        QVERIFY(writeSine(path, 48000, {0.5, 0.5}, 2));
    } else if (!fixture.isEmpty()) {
        QVERIFY(QFile::copy(testsupport::fixture(fixture), path));
    }
    if (keep >= 0 || keep == -2)
        QVERIFY(QFile::resize(path, keep >= 0 ? keep : QFileInfo(path).size() / 2));

    const std::atomic<bool> cancelled {error == QLatin1String("cancelled")};
    const loudness::Track track = loudness::measureTrack(path, true, &cancelled);
    QVERIFY(!track.measured());
    QVERIFY2(track.error.startsWith(error), qPrintable(track.error));
    QVERIFY(loudness::tags(track, nullptr, true).isEmpty());

    // Nor has an album with it.
    QVERIFY(!loudness::measureAlbum({&track}).measured);
}

void TestLoudness::opusGains()
{
    // R128 gains to -23 LUFS add to the header's output gain, which a player applies: +6 dB
    // there reads 6 dB louder and takes 6 dB (1536) off the tag.
    const QString plain = copyFixture(*dir, QStringLiteral("tone.opus"));
    QByteArray bytes = readAll(plain);
    setOpusGain(bytes, 1536);
    const QString louder = dir->filePath(QStringLiteral("louder.opus"));
    QVERIFY(writeAll(louder, bytes));

    const loudness::Track track = loudness::measureTrack(plain);
    const loudness::Track raised = loudness::measureTrack(louder);
    QVERIFY(track.oggOpus && raised.oggOpus);
    QCOMPARE(raised.opusOutputGain, 1536);
    QVERIFY2(std::abs(raised.lufs - track.lufs - 6) < 0.01,
             qPrintable(QString::number(raised.lufs)));

    const loudness::Album album = loudness::measureAlbum({&track});
    const QList<loudness::Tag> tags = loudness::tags(track, &album, false);
    QCOMPARE(tags.size(), 2);
    QCOMPARE(tagValue(tags, "R128_TRACK_GAIN").toInt(), loudness::q78(-23 - track.lufs));
    QCOMPARE(tagValue(tags, "R128_ALBUM_GAIN").toInt(), loudness::q78(-23 - album.lufs));
    const int lowered = tagValue(loudness::tags(raised, nullptr, false), "R128_TRACK_GAIN").toInt();
    QVERIFY(std::abs(tagValue(tags, "R128_TRACK_GAIN").toInt() - 1536 - lowered) <= 1);
    // Asked for, the ReplayGain tags come too, to -18 LUFS.
    const QList<loudness::Tag> both = loudness::tags(track, &album, true);
    QCOMPARE(both.size(), 6);
    QCOMPARE(tagValue(both, "REPLAYGAIN_TRACK_GAIN"), loudness::gainText(-18 - track.lufs));
}

void TestLoudness::tagTexts_data()
{
    QTest::addColumn<double>("lufs");
    QTest::addColumn<double>("peak");
    QTest::addColumn<bool>("opus");
    QTest::addColumn<QStringList>("expected"); // key=value
    QTest::newRow("quieter") << -11.48 << 0.98855349 << false
                             << QStringList {"REPLAYGAIN_TRACK_GAIN=-6.52 dB",
                                             "REPLAYGAIN_TRACK_PEAK=0.988553"};
    QTest::newRow("no minus zero")
            << -18.004 << 1.25 << false
            << QStringList {"REPLAYGAIN_TRACK_GAIN=0.00 dB", "REPLAYGAIN_TRACK_PEAK=1.250000"};
    QTest::newRow("silence") << -HUGE_VAL << 0.0 << false << QStringList {};
    QTest::newRow("opus at the Q7.8 limit")
            << -300.0 << 0.5 << true << QStringList {"R128_TRACK_GAIN=32767"};
}

void TestLoudness::tagTexts()
{
    QFETCH(double, lufs);
    QFETCH(double, peak);
    QFETCH(bool, opus);
    QFETCH(QStringList, expected);
    loudness::Track track;
    track.lufs = lufs;
    track.peak = peak;
    track.oggOpus = opus;
    QStringList texts;
    for (const loudness::Tag &tag : loudness::tags(track, nullptr, false))
        texts.append(tag.key + QLatin1Char('=') + tag.value);
    QCOMPARE(texts, expected);
}

void TestLoudness::written_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("opusBoth");
    for (const char *kind : {"mp3", "flac", "ogg", "m4a", "wma", "wav", "wv"})
        QTest::newRow(kind) << QStringLiteral("tone.%1").arg(QLatin1String(kind)) << false;
    QTest::newRow("opus") << QStringLiteral("tone.opus") << false;
    QTest::newRow("opus, both") << QStringLiteral("tone.opus") << true;
}

void TestLoudness::written()
{
    QFETCH(QString, fixture);
    QFETCH(bool, opusBoth);
    const QString path = copyFixture(*dir, fixture);
    QVERIFY(writeFields(path));
    const loudness::Track track = loudness::measureTrack(path);
    const loudness::Album album = loudness::measureAlbum({&track});
    const QList<loudness::Tag> tags = loudness::tags(track, &album, opusBoth);
    QCOMPARE(tags.size(), track.oggOpus ? (opusBoth ? 6 : 2) : 4);
    QStringList expected = items(path);
    for (const loudness::Tag &tag : tags)
        expected.append(tag.key + '=' + tag.value);
    expected.sort();

    QCOMPARE(loudness::writeTags(path, tags), 0);
    QCOMPARE(items(path), expected);
}

QTEST_GUILESS_MAIN(TestLoudness)
#include "tst_loudness.moc"
