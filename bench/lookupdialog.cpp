// The lookup in the window: the longest the GUI thread is held (a 10 ms timer's late ticks) from
// the search to Apply, for 100 files against a 100-track release, with the front cover, against a
// loopback server answering as the service does.
#include "lookupdialog.h"
#include "httpserver.h"

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
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString releaseId = QStringLiteral("aff4a693-5970-4e2e-bd46-e2ee49c22de7");

QByteArray answer(const char *name)
{
    QFile file(QStringLiteral(TAGDESK_TEST_DATA "/musicbrainz/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

// Runs the event loop until done() holds, or 30 s.
void waitUntil(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("bench"));
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
    return applied == 100 ? 0 : 1;
}
