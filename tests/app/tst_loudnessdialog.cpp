// The loudness of a selection, measured behind the progress dialog as the window starts it.
#include "loudnessdialog.h"
#include "testsupport.h"

#include <QtTest>

using namespace testsupport;

class TestLoudnessDialog : public QObject
{
    Q_OBJECT

private slots:
    void computed_data();
    void computed();
    void cancelled();
};

void TestLoudnessDialog::computed_data()
{
    QTest::addColumn<bool>("album");
    QTest::addColumn<bool>("cut"); // the WAV file ends in the middle of its audio
    QTest::addColumn<QString>("keys"); // of the FLAC file, then of the Opus one
    QTest::newRow("tracks") << false << false << "TRACK_GAIN TRACK_PEAK TRACK_GAIN";
    QTest::newRow("album") << true << false
                           << "TRACK_GAIN TRACK_PEAK ALBUM_GAIN ALBUM_PEAK TRACK_GAIN ALBUM_GAIN";
    QTest::newRow("album, a file cut") << true << true << "TRACK_GAIN TRACK_PEAK TRACK_GAIN";
}

void TestLoudnessDialog::computed()
{
    QFETCH(bool, album);
    QFETCH(bool, cut);
    QFETCH(QString, keys);
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("a.wav"));
    QVERIFY(writeSine(wav, 44100, {0.5}, 3));
    QVERIFY(!cut || QFile::resize(wav, 44 + 2 * 44100));
    const QStringList paths {copyFixture(dir, QStringLiteral("tone.flac")), wav,
                             copyFixture(dir, QStringLiteral("tone.opus"))};
    LoudnessDialog dialog;
    QSignalSpy computed(&dialog, &LoudnessDialog::computed);

    dialog.start(paths, album);
    QVERIFY(computed.wait(20000));
    const auto values = computed[0][0].value<LoudnessValues>();
    QStringList found;
    for (const TagProperty &property : values.value(paths[0]) + values.value(paths[2]))
        found.append(property.key.section('_', -2));
    QCOMPARE(found.join(' '), keys);
    QCOMPARE(values.contains(paths[1]), !cut);
    QCOMPARE(computed[0][1].toStringList().size(), cut ? 2 : 0);
    QVERIFY(!dialog.isVisible());
}

void TestLoudnessDialog::cancelled()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("a.wav"));
    QVERIFY(writeSine(wav, 48000, {0.5, 0.5}, 10));
    LoudnessDialog dialog;
    QSignalSpy computed(&dialog, &LoudnessDialog::computed);
    dialog.start({wav, wav, wav, wav}, true);
    dialog.cancel();
    QTRY_VERIFY(!dialog.isVisible());
    QTest::qWait(100);
    QCOMPARE(computed.size(), 0);
}

QTEST_MAIN(TestLoudnessDialog)
#include "tst_loudnessdialog.moc"
