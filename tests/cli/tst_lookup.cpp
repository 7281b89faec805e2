// quillet lookup, run as a real process against a loopback server that answers as MusicBrainz
// and the Cover Art Archive do, on copies of the fixtures.
#include "httpserver.h"
#include "tagrecord.h"
#include "testsupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString loveBug = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

QByteArray answer(const QString &name)
{
    QFile file(QStringLiteral(TAGDESK_TEST_DATA "/musicbrainz/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLookup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.setBody(QStringLiteral("/ws/2/release"), answer(QStringLiteral("search.json")));
        m_server.setBody(QStringLiteral("/ws/2/release/") + loveBug,
                         answer(QStringLiteral("release-lovebug.json")));
        m_cover = testsupport::encode(QImage(8, 8, QImage::Format_RGB32), "PNG");
        m_server.setBody(QStringLiteral("/caa/release/") + loveBug + QStringLiteral("/front-500"),
                         m_cover);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // The tracks' titles out of order, without numbers; a comment the release does not touch.
        const QStringList titles {QStringLiteral("Love Bug (cover)"),
                                  QStringLiteral("the love bug"),
                                  QStringLiteral("Big Bug NYC remix")};
        m_files.clear();
        for (const QString &title : titles) {
            const QString path = testsupport::copyFixture(*m_dir, QStringLiteral("tone.flac"),
                                                          title + QStringLiteral(".flac"));
            TagChanges changes;
            changes.set(QStringLiteral("TITLE"), {title});
            changes.set(QStringLiteral("ALBUM"), {QStringLiteral("The Love Bug")});
            changes.set(QStringLiteral("ARTIST"), {QStringLiteral("m-flo")});
            changes.set(QStringLiteral("COMMENT"), {QStringLiteral("mine")});
            QCOMPARE(changes.save(path), 0);
            m_files.append(path);
        }
    }

    void listsCandidatesBestFirst()
    {
        const Run run = quillet({QStringLiteral("lookup")});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.first().startsWith(loveBug), qPrintable(run.out));
        QVERIFY(lines.first().contains(QLatin1String("the Love Bug / m-flo, 2004-03-17, JP")));
    }

    void savesTheReleaseAndItsCover()
    {
        Run run = quillet({QStringLiteral("lookup"), QStringLiteral("--release"),
                           QStringLiteral("https://musicbrainz.org/release/") + loveBug,
                           QStringLiteral("--cover")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.contains(
                QLatin1String("  TITLE: \"Love Bug (cover)\" -> \"the Love Bug (cover)\"")));
        const QStringList numbers {QStringLiteral("3/3"), QStringLiteral("1/3"),
                                   QStringLiteral("2/3")};
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            TagRecord record;
            QVERIFY(record.read(m_files[i]));
            QCOMPARE(record.values(QStringLiteral("TRACKNUMBER")).value(0), numbers[i]);
            QCOMPARE(record.values(QStringLiteral("CATALOGNUMBER")), QStringList {"RZCD-45118"});
            QCOMPARE(record.values(QStringLiteral("COMMENT")), QStringList {"mine"});
            QCOMPARE(record.cover(), m_cover);
        }
        // Once more: nothing left to change.
        run = quillet({QStringLiteral("lookup"), QStringLiteral("--release"), loveBug,
                       QStringLiteral("--cover"), QStringLiteral("--dry-run")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count(QLatin1String("  unchanged\n")), 3);
    }

    void refusesAPartialMatch()
    {
        m_files.append(testsupport::copyFixture(*m_dir, QStringLiteral("tone.flac"),
                                                QStringLiteral("Something else.flac")));
        const QByteArray before = testsupport::readAll(m_files.first());
        Run run = quillet({QStringLiteral("lookup"), QStringLiteral("--release"), loveBug});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(
                         QLatin1String("3 of 4 files match the release's 3 tracks; nothing saved")),
                 qPrintable(run.err));
        QCOMPARE(testsupport::readAll(m_files.first()), before);
        run = quillet({QStringLiteral("lookup"), QStringLiteral("--release"), loveBug,
                       QStringLiteral("--partial")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("Something else.flac: no track fits; unchanged")));
    }

private:
    // Run while the server answers: the server lives on this thread's event loop.
    Run quillet(QStringList arguments)
    {
        arguments << QStringLiteral("--server") << m_server.url(QString()).toString()
                  << QStringLiteral("--cover-server")
                  << m_server.url(QStringLiteral("/caa")).toString() << m_files;
        QProcess process;
        process.start(QStringLiteral(QUILLET_PROGRAM), arguments);
        process.closeWriteChannel();
        QDeadlineTimer deadline(60000);
        while (process.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(10);
        Run run;
        if (process.exitStatus() == QProcess::NormalExit && process.state() == QProcess::NotRunning)
            run.exitCode = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    HttpServer m_server;
    QByteArray m_cover;
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_files;
};

QTEST_GUILESS_MAIN(TestLookup)
#include "tst_lookup.moc"
