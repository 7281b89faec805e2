// A MusicBrainz lookup: the requests one album takes, the longest the thread waits on the way
// (a timer's late ticks), against a loopback server answering as the service does; the time to
// match 100 files against a 100-track release; and the same lookup in the window's dialog.
#include "httpserver.h"
#include "lookupdialog.h"
#include "musicbrainzclient.h"
#include "musicbrainzreply.h"
#include "releasematch.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace musicbrainz;

namespace {

const QString releaseId = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");

QByteArray answer(const char *name)
{
    QFile file(QStringLiteral(TAGDESK_TEST_DATA "/musicbrainz/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A 500 pixel front cover, as the archive gives it.
QByteArray cover()
{
    QImage image(500, 500, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

void waitFor(MusicBrainzReply *reply)
{
    QEventLoop loop;
    QObject::connect(reply, &MusicBrainzReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
}

// The release of the tests' answers, its one track made a hundred.
QByteArray hundredTracks()
{
    QJsonObject release = QJsonDocument::fromJson(answer("release-lovebug.json")).object();
    QJsonArray media = release.value(QLatin1String("media")).toArray();
    QJsonObject medium = media.first().toObject();
    const QJsonObject first = medium.value(QLatin1String("tracks")).toArray().first().toObject();
    QJsonArray tracks;
    for (int i = 1; i <= 100; ++i) {
        QJsonObject track = first;
        track[QLatin1String("id")]
                = QStringLiteral("00000000-0000-4000-8000-%1").arg(i, 12, 10, QChar('0'));
        track[QLatin1String("position")] = i;
        track[QLatin1String("number")] = QString::number(i);
        track[QLatin1String("title")] = QStringLiteral("Song number %1").arg(i);
        track[QLatin1String("length")] = 120000 + 1000 * i;
        tracks.append(track);
    }
    medium[QLatin1String("tracks")] = tracks;
    medium[QLatin1String("track-count")] = 100;
    release[QLatin1String("media")] = QJsonArray {medium};
    return QJsonDocument(release).toJson(QJsonDocument::Compact);
}

// Runs the event loop until done() holds, or 30 s.
void waitUntil(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

void requestsForOneAlbum()
{
    HttpServer server;
    server.start();
    const QString &id = releaseId;
    server.setBody(QStringLiteral("/ws/2/release"), answer("search.json"));
    server.setBody(QStringLiteral("/ws/2/release/") + id, answer("release-lovebug.json"));
    server.setBody(QStringLiteral("/caa/release/") + id + QStringLiteral("/front-500"), cover());
    MusicBrainzClient::Settings settings;
    settings.server = server.url(QString());
    settings.coverServer = server.url(QStringLiteral("/caa"));
    MusicBrainzClient client(settings);

    // The longest gap between ticks of a 5 ms timer: how long the thread was held.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    ticks.start();

    AlbumFacts facts;
    facts.album = QStringLiteral("the Love Bug");
    facts.artist = QStringLiteral("m-flo");
    facts.trackCount = 3;
    QElapsedTimer whole;
    whole.start();
    MusicBrainzReply *search = client.search(searchQuery(facts));
    waitFor(search);
    QList<Release> releases;
    QString error;
    MusicBrainzClient::searchResult(search, &releases, &error);
    waitFor(client.release(id));
    waitFor(client.frontCover(id, MusicBrainzClient::CoverSize::Medium500));
    ticks.stop();
    std::printf("requests for one album: %lld (search, release, cover); %lld ms in all, "
                "thread held at most %lld ms\n",
                static_cast<long long>(server.requestTimes().size()),
                static_cast<long long>(whole.elapsed()), static_cast<long long>(longest));
}

QString word(QRandomGenerator &random)
{
    static const char *const words[]
            = {"love",  "night", "rain",  "blue", "city", "heart", "fire", "dream", "road",
               "light", "song",  "river", "gold", "time", "star",  "home", "wild",  "dance"};
    return QLatin1String(words[random.bounded(int(std::size(words)))]);
}

void matching()
{
    QRandomGenerator random(37);
    Release release;
    release.id = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");
    Medium medium;
    medium.position = 1;
    QList<LookupFile> files;
    for (int i = 0; i < 100; ++i) {
        Track track;
        track.position = i + 1;
        track.number = QString::number(i + 1);
        track.title = word(random) + QLatin1Char(' ') + word(random) + QLatin1Char(' ')
                + word(random) + QStringLiteral(" (part %1)").arg(i);
        track.lengthMs = 120000 + random.bounded(240000);
        medium.tracks.append(track);
        // Files without numbers, titles in other case and spacing, lengths a little off.
        LookupFile file;
        file.path = QStringLiteral("/music/%1.flac").arg(i);
        file.title = track.title.toUpper().replace(QLatin1Char(' '), QLatin1String("  "));
        file.lengthMs = track.lengthMs + random.bounded(3000);
        files.append(file);
    }
    medium.trackCount = 100;
    release.media.append(medium);
    std::shuffle(files.begin(), files.end(), std::mt19937(37));

    for (const bool numbered : {false, true}) {
        if (numbered) {
            for (LookupFile &file : files)
                file.track = file.path.section(QLatin1Char('/'), -1)
                                     .section(QLatin1Char('.'), 0, 0)
                                     .toInt()
                        + 1;
        }
        std::vector<double> times;
        int right = 0;
        for (int run = 0; run < 30; ++run) {
            QElapsedTimer timer;
            timer.start();
            const QList<int> match = matchFiles(files, release);
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            right = 0;
            for (qsizetype i = 0; i < files.size(); ++i)
                right += match[i] >= 0
                                && files[i].path.endsWith(QStringLiteral("/%1.flac").arg(match[i]))
                        ? 1
                        : 0;
        }
        std::sort(times.begin(), times.end());
        std::printf("matching 100 files to 100 tracks %s: median %.2f ms, slowest %.2f ms, "
                    "%d of 100 right\n",
                    numbered ? "by numbers" : "by title and length", times[times.size() / 2],
                    times.back(), right);
    }
}

// The lookup in the window: the longest the GUI thread is held (a 10 ms timer's late ticks)
// from the search to Apply, for 100 files against a 100-track release, with the front cover.
bool dialogLookup()
{
    HttpServer server;
    server.start();
    server.setBody(QStringLiteral("/ws/2/release"), answer("search.json"));
    server.setBody(QStringLiteral("/ws/2/release/") + releaseId, hundredTracks());
    server.setBody(QStringLiteral("/caa/release/") + releaseId + QStringLiteral("/front-500"),
                   cover());
    MusicBrainzClient::Settings settings;
    settings.server = server.url(QString());
    settings.coverServer = server.url(QStringLiteral("/caa"));

    QList<LookupDialog::File> files;
    for (int i = 100; i >= 1; --i) {
        LookupDialog::File file {QStringLiteral("/music/%1.flac").arg(i), TagRecord()};
        file.record.setValues(QStringLiteral("TITLE"), {QStringLiteral("song  NUMBER %1").arg(i)});
        file.record.setValues(QStringLiteral("ALBUM"), {QStringLiteral("the Love Bug")});
        file.record.setValues(QStringLiteral("ARTIST"), {QStringLiteral("m-flo")});
        files.append(file);
    }

    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });

    QElapsedTimer whole;
    whole.start();
    LookupDialog dialog(files, settings);
    dialog.show();
    sinceTick.start();
    ticks.start();
    dialog.search();
    auto *changes = dialog.findChild<QTreeWidget *>(QStringLiteral("changeList"));
    waitUntil([&] { return changes->topLevelItemCount() == 100; });
    const qint64 matched = whole.elapsed();
    dialog.findChild<QCheckBox *>(QStringLiteral("coverBox"))->setChecked(true);
    auto *preview = dialog.findChild<QLabel *>(QStringLiteral("coverPreview"));
    waitUntil([&] { return !preview->pixmap().isNull(); });
    int applied = 0;
    QObject::connect(&dialog, &LookupDialog::applyRequested,
                     [&](const LookupDialog::FileValues &values, const QByteArray &) {
                         applied = int(values.size());
                     });
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
    waitUntil([&] { return applied > 0; });
    ticks.stop();
    std::printf("lookup dialog, 100 files and a 100-track release: %d files changed, shown in "
                "%lld ms, %lld ms in all with the cover; requests %lld; GUI thread held at most "
                "%lld ms\n",
                applied, static_cast<long long>(matched), static_cast<long long>(whole.elapsed()),
                static_cast<long long>(server.requestTimes().size()),
                static_cast<long long>(longest));
    return applied == 100;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("bench"));
    matching();
    requestsForOneAlbum();
    return dialogLookup() ? 0 : 1;
}
