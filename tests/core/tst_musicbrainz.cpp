// Looking albums up on MusicBrainz: the service's answers as its own tests give them, replayed by
// a loopback server, read into releases, matched to files and turned into tag values.
#include "httpserver.h"
#include "musicbrainzclient.h"
#include "musicbrainzreply.h"
#include "releasematch.h"
#include "testsupport.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

using namespace musicbrainz;

Q_DECLARE_METATYPE(HttpServer::Reply)

namespace {

const QString loveBug = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");
const QString twoDiscs = QStringLiteral("b3b7e934-445b-4c68-a097-730c6a6d47e6");

QByteArray answer(const QString &name)
{
    QFile file(QStringLiteral(TAGDESK_TEST_DATA "/musicbrainz/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Release parsed(const QString &name)
{
    Release release;
    QString error;
    if (!parseRelease(answer(name), &release, &error))
        qWarning() << name << error;
    return release;
}

LookupFile file(const QString &title, int track, int disc, qint64 lengthMs)
{
    LookupFile one;
    one.path = QStringLiteral("/music/%1.flac").arg(title);
    one.title = title;
    one.track = track;
    one.disc = disc;
    one.lengthMs = lengthMs;
    return one;
}

QStringList valuesOf(const QList<TagProperty> &values, const QString &key)
{
    for (const TagProperty &value : values) {
        if (value.key == key)
            return value.values;
    }
    return {};
}

} // namespace

class TestMusicBrainz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }

    void init()
    {
        m_settings = {};
        m_settings.server = m_server.url(QString());
        m_settings.coverServer = m_server.url(QStringLiteral("/caa"));
        m_settings.version = QStringLiteral("9.8.7");
        m_settings.email = QStringLiteral("someone@example.org");
    }

    void searchScoresTheFittingReleaseFirst()
    {
        m_server.setBody(QStringLiteral("/ws/2/release"), answer(QStringLiteral("search.json")));
        MusicBrainzClient client(m_settings);
        AlbumFacts facts;
        facts.album = QStringLiteral("The Love Bug");
        facts.artist = QStringLiteral("m-flo");
        facts.trackCount = 3;
        facts.catalogNumber = QStringLiteral("RZCD-45118");
        MusicBrainzReply *reply = client.search(searchQuery(facts));
        QTRY_VERIFY(reply->isFinished());
        QVERIFY(reply->url().query().contains(QLatin1String("fmt=json")));
        // Header names are case-insensitive; newer Qt sends them in lower case.
        QVERIFY(m_server.lastRequestHead().toLower().contains(
                "user-agent: tagdesk/9.8.7 ( someone@example.org ; "));
        QList<Release> releases;
        QString error;
        QVERIFY2(MusicBrainzClient::searchResult(reply, &releases, &error), qPrintable(error));
        QCOMPARE(releases.size(), 3);
        // The server ranks another release first; the files' own facts decide.
        QCOMPARE(candidateScore(releases[2], facts), 100);
        QVERIFY(candidateScore(releases[0], facts) < 40);
        QVERIFY(candidateScore(releases[1], facts) < 40);
    }

    void matchesFilesToTracks_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QList<LookupFile>>("files");
        QTest::addColumn<QList<int>>("tracks");
        QTest::newRow("numbers") << QStringLiteral("release-lovebug.json")
                                 << QList<LookupFile> {file({}, 3, 0, 0), file({}, 1, 1, 0),
                                                       file({}, 2, 0, 0)}
                                 << QList<int> {2, 0, 1};
        // Numbers that repeat say nothing: titles and lengths do.
        QTest::newRow("another order")
                << QStringLiteral("release-lovebug.json")
                << QList<LookupFile> {file(QStringLiteral("The love bug - cover"), 1, 0, 331000),
                                      file(QStringLiteral("Love Bug"), 1, 0, 244000),
                                      file(QStringLiteral("big bug nyc remix"), 1, 0, 0)}
                << QList<int> {2, 0, 1};
        QTest::newRow("fewer tracks than files")
                << QStringLiteral("release-lovebug.json")
                << QList<LookupFile> {file(QStringLiteral("the Love Bug (cover)"), 0, 0, 333000),
                                      file(QStringLiteral("Something else entirely"), 0, 0, 90000),
                                      file(QStringLiteral("the Love Bug"), 0, 0, 243000),
                                      file(QStringLiteral("the Love Bug (Big Bug NYC remix)"), 0, 0,
                                           222000)}
                << QList<int> {2, -1, 0, 1};
        QTest::newRow("two discs")
                << QStringLiteral("release-twodiscs.json")
                << QList<LookupFile> {file({}, 2, 2, 0), file({}, 1, 1, 0), file({}, 1, 2, 0)}
                << QList<int> {4, 0, 3};
        // Without disc numbers a second disc's track 1 is no first disc's track 1.
        QTest::newRow("two discs without disc numbers")
                << QStringLiteral("release-twodiscs.json")
                << QList<LookupFile> {file(QStringLiteral("On my bus"), 1, 0, 267000),
                                      file(QStringLiteral("Summer Reggae Rainbow"), 1, 0, 296000)}
                << QList<int> {3, 0};
    }

    void matchesFilesToTracks()
    {
        QFETCH(QString, release);
        QFETCH(QList<LookupFile>, files);
        QFETCH(QList<int>, tracks);
        QCOMPARE(matchFiles(files, parsed(release)), tracks);
    }

    void givesTheTrackItsValues()
    {
        const Release release = parsed(QStringLiteral("release-twodiscs.json"));
        const QList<TagProperty> values = trackValues(release, {1, 1});
        QCOMPARE(valuesOf(values, QStringLiteral("TRACKNUMBER")), QStringList {"2/2"});
        QCOMPARE(valuesOf(values, QStringLiteral("DISCNUMBER")), QStringList {"2/2"});
        QCOMPARE(valuesOf(values, QStringLiteral("DISCSUBTITLE")), QStringList {"Remixes"});
        QCOMPARE(valuesOf(values, QStringLiteral("ARTIST")), QStringList {"7人祭 feat. m-flo"});
        QCOMPARE(valuesOf(values, QStringLiteral("ARTISTS")), (QStringList {"7人祭", "m-flo"}));
        QCOMPARE(valuesOf(values, QStringLiteral("ARTISTSORT")),
                 QStringList {"7nin Matsuri feat. m-flo"});
        QCOMPARE(valuesOf(values, QStringLiteral("MUSICBRAINZ_TRACKID")),
                 QStringList {"8ecd0e6c-4b5a-4339-8b2c-1d1a1c2d8f39"});
        QCOMPARE(valuesOf(values, QStringLiteral("MUSICBRAINZ_RELEASETRACKID")),
                 QStringList {"f38b8e31-a10d-3973-8c1f-10923ee61adc"});
        QCOMPARE(valuesOf(values, QStringLiteral("ISRC")).size(), 2);
        QCOMPARE(valuesOf(values, QStringLiteral("RELEASETYPE")),
                 (QStringList {"single", "remix"}));
        QCOMPARE(valuesOf(values, QStringLiteral("RELEASESTATUS")), QStringList {"pseudo-release"});
        // Not in the release: not in the values, so the file keeps its own.
        QVERIFY(valuesOf(values, QStringLiteral("LABEL")).isEmpty());
    }

    void survivesHostileAnswers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("malformed")
                << QByteArray("{\"id\": \"aff4a693-5970-4e2e-bd46-e2ee49c22de7\",");
        QTest::newRow("not an object") << QByteArray("[1, 2, 3]");
        QTest::newRow("deep") << QByteArray(100000, '[') + QByteArray(100000, ']');
        QTest::newRow("wrong types")
                << QByteArray("{\"id\": \"aff4a693-5970-4e2e-bd46-e2ee49c22de7\", \"title\": 7,"
                              " \"artist-credit\": {\"name\": 1}, \"media\": [3, null, {\"tracks\":"
                              " \"x\", \"position\": -4}, {\"tracks\": [{\"length\": 1e300,"
                              " \"position\": \"1\", \"recording\": [], \"number\": {}}]}],"
                              " \"label-info\": \"x\", \"release-group\": []}");
        QTest::newRow("too many tracks")
                << "{\"id\": \"aff4a693-5970-4e2e-bd46-e2ee49c22de7\", \"media\": [{\"tracks\": ["
                        + QByteArray("{},").repeated(maxTracks) + "{}]}]}";
    }

    void survivesHostileAnswers()
    {
        QFETCH(QByteArray, json);
        Release release;
        QString error;
        if (parseRelease(json, &release, &error)) {
            QCOMPARE(release.title, QString());
            // Every track there is gets values and a match without a crash.
            for (const TrackRef &ref : allTracks(release))
                QVERIFY(!trackValues(release, ref).isEmpty());
            QCOMPARE(matchFiles({file(QStringLiteral("a"), 1, 1, 1000)}, release).size(), 1);
        } else {
            QVERIFY(!error.isEmpty());
        }
        QList<Release> releases;
        QVERIFY(!parseSearch(json, &releases, &error) || releases.size() <= 1);
    }

    void retriesAfterBusyAtTheServersPace()
    {
        m_server.setReplies(QStringLiteral("/ws/2/release/") + loveBug,
                            {{503, "", {{"Retry-After", "1"}}},
                             {200, answer(QStringLiteral("release-lovebug.json"))}});
        const qsizetype before = m_server.requestTimes().size();
        MusicBrainzClient client(m_settings);
        MusicBrainzReply *reply = client.release(loveBug);
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        Release release;
        QString error;
        QVERIFY2(MusicBrainzClient::releaseResult(reply, loveBug, &release, &error),
                 qPrintable(error));
        QCOMPARE(release.media.first().tracks.size(), 3);
        // Three requests in a row, one a second as the server sees them.
        for (int i = 0; i < 2; ++i) {
            reply = client.release(loveBug);
            QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        }
        const QList<qint64> times = m_server.requestTimes().mid(before);
        QCOMPARE(times.size(), 4);
        for (qsizetype i = 1; i < times.size(); ++i)
            QVERIFY2(times[i] - times[i - 1] >= 950,
                     qPrintable(QString::number(times[i] - times[i - 1])));
    }

    void saysWhatFailed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<HttpServer::Reply>("reply");
        QTest::addColumn<QString>("error");
        const QString release = QStringLiteral("/ws/2/release/") + twoDiscs;
        const QString cover
                = QStringLiteral("/caa/release/") + twoDiscs + QStringLiteral("/front-500");
        QTest::newRow("unknown") << release << HttpServer::Reply {404, "{\"error\": \"Not Found\"}"}
                                 << QStringLiteral("MusicBrainz knows no release ") + twoDiscs;
        QTest::newRow("huge")
                << release
                << HttpServer::Reply {200, "{\"media\": [", {}, HttpServer::Delivery::Endless}
                << QStringLiteral("MusicBrainz's answer is larger than 4194304 bytes");
        QTest::newRow("silent") << release
                                << HttpServer::Reply {200, "", {}, HttpServer::Delivery::Silent}
                                << QStringLiteral("MusicBrainz did not answer");
        QTest::newRow("always busy")
                << release << HttpServer::Reply {503, "", {{"Retry-After", "0"}}}
                << QStringLiteral("MusicBrainz is busy and answered \"try later\" 2 times");
        QTest::newRow("cover no image")
                << cover << HttpServer::Reply {200, "<html>moved</html>"}
                << QStringLiteral("The Cover Art Archive's answer is not an image");
        QTest::newRow("no cover")
                << cover << HttpServer::Reply {404, ""}
                << QStringLiteral("The Cover Art Archive has no front cover of this release");
    }

    void saysWhatFailed()
    {
        QFETCH(QString, path);
        QFETCH(HttpServer::Reply, reply);
        QFETCH(QString, error);
        m_server.setReplies(path, {reply});
        m_settings.silence = std::chrono::milliseconds(300);
        m_settings.retries = 1;
        MusicBrainzClient client(m_settings);
        const bool cover = path.startsWith(QLatin1String("/caa"));
        MusicBrainzReply *sent = cover
                ? client.frontCover(twoDiscs, MusicBrainzClient::CoverSize::Medium500)
                : client.release(twoDiscs);
        QTRY_VERIFY_WITH_TIMEOUT(sent->isFinished(), 15000);
        QString said;
        Release release;
        QByteArray image;
        QVERIFY(cover ? !MusicBrainzClient::coverResult(sent, &image, &said)
                      : !MusicBrainzClient::releaseResult(sent, twoDiscs, &release, &said));
        QCOMPARE(said, error);
    }

    void followsTheArchiveToItsImage()
    {
        const QByteArray png = testsupport::encode(QImage(4, 4, QImage::Format_RGB32), "PNG");
        const QString front = QStringLiteral("/caa/release/") + loveBug + QStringLiteral("/front");
        m_server.setReplies(front,
                            {{307, "", {{"Location", m_server.url("/image.png").toEncoded()}}}});
        m_server.setBody(QStringLiteral("/image.png"), png);
        MusicBrainzClient client(m_settings);
        MusicBrainzReply *reply
                = client.frontCover(loveBug, MusicBrainzClient::CoverSize::Original);
        QTRY_VERIFY(reply->isFinished());
        QByteArray image;
        QString error;
        QVERIFY2(MusicBrainzClient::coverResult(reply, &image, &error), qPrintable(error));
        QCOMPARE(image, png);
    }

    void cancels()
    {
        m_server.setReplies(QStringLiteral("/ws/2/release/") + loveBug,
                            {{200, "", {}, HttpServer::Delivery::Silent}});
        MusicBrainzClient client(m_settings);
        MusicBrainzReply *reply = client.release(loveBug);
        QSignalSpy finished(reply, &MusicBrainzReply::finished);
        reply->cancel();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(reply->error(), QStringLiteral("cancelled"));
    }

    void findsTheReleaseInItsAddress()
    {
        QCOMPARE(releaseIdIn(QStringLiteral("https://musicbrainz.org/release/") + loveBug.toUpper()
                             + QStringLiteral("/cover-art")),
                 loveBug);
        QCOMPARE(releaseIdIn(QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de")), QString());
    }

private:
    HttpServer m_server;
    MusicBrainzClient::Settings m_settings;
};

QTEST_GUILESS_MAIN(TestMusicBrainz)
#include "tst_musicbrainz.moc"
