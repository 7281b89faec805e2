#include "lookupcommand.h"

#include "commandline.h"
#include "console.h"
#include "covertype.h"
#include "filewalk.h"
#include "musicbrainzclient.h"
#include "musicbrainzreply.h"
#include "releasematch.h"
#include "tagrecord.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QEventLoop>

#include <algorithm>

namespace {

const QString command = QStringLiteral("lookup");

// The command's one request at a time: the program has no other work while it waits.
void waitFor(MusicBrainzReply *reply)
{
    if (reply->isFinished())
        return;
    QEventLoop loop;
    QObject::connect(reply, &MusicBrainzReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

QString quoted(const QStringList &values)
{
    QStringList shown;
    for (QString value : values) {
        value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        value.replace(QLatin1Char('"'), QLatin1String("\\\""));
        value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        value.replace(QLatin1Char('\r'), QLatin1String("\\r"));
        shown.append(QLatin1Char('"') + value + QLatin1Char('"'));
    }
    return shown.isEmpty() ? QStringLiteral("(none)") : shown.join(QLatin1String(", "));
}

// "Title / Artist, 2004-03-17, JP, rhythm zone RZCD-45118, CD, 3 tracks".
QString describe(const musicbrainz::Release &release)
{
    QStringList parts {release.title + QStringLiteral(" / ")
                       + musicbrainz::creditText(release.artists)};
    if (!release.date.isEmpty())
        parts.append(release.date);
    if (!release.country.isEmpty())
        parts.append(release.country);
    for (const musicbrainz::LabelInfo &label : release.labels)
        parts.append((label.label + QLatin1Char(' ') + label.catalogNumber).trimmed());
    QStringList formats;
    for (const musicbrainz::Medium &medium : release.media) {
        if (!medium.format.isEmpty() && !formats.contains(medium.format))
            formats.append(medium.format);
    }
    if (!formats.isEmpty())
        parts.append(formats.join(QLatin1Char('+')));
    parts.append(QStringLiteral("%1 tracks").arg(release.trackCount));
    return parts.join(QLatin1String(", "));
}

int printCandidates(MusicBrainzClient &client, const QList<musicbrainz::LookupFile> &files,
                    Console &console)
{
    const musicbrainz::AlbumFacts facts = musicbrainz::albumFacts(files);
    const QString query = musicbrainz::searchQuery(facts);
    if (query.isEmpty()) {
        console.error(QStringLiteral("quillet: the files name no album or artist to search for"));
        return commandline::Failure;
    }
    MusicBrainzReply *reply = client.search(query);
    waitFor(reply);
    QList<musicbrainz::Release> releases;
    QString error;
    if (!MusicBrainzClient::searchResult(reply, &releases, &error)) {
        console.error(QStringLiteral("quillet: ") + error);
        return commandline::Failure;
    }
    QList<std::pair<int, musicbrainz::Release>> scored;
    for (const musicbrainz::Release &release : releases)
        scored.append({musicbrainz::candidateScore(release, facts), release});
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    if (scored.isEmpty())
        console.out(nativeName(QStringLiteral("MusicBrainz knows no release for %1\n").arg(query)));
    for (const auto &[score, release] : scored)
        console.out(nativeName(
                QStringLiteral("%1 %2 %3\n").arg(release.id).arg(score, 3).arg(describe(release))));
    return commandline::Success;
}

} // namespace

int lookupCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Looks the files' album up on MusicBrainz. Without --release it prints the releases\n"
            "that fit, best first, each with its identifier and a score of how well it fits.\n"
            "With --release it matches the files to that release's tracks, prints every\n"
            "change and saves it; fields the release does not give stay as they are."));
    const QCommandLineOption release(QStringLiteral("release"),
                                     QStringLiteral("The release's identifier or web address."),
                                     QStringLiteral("MBID"));
    const QCommandLineOption cover(
            QStringLiteral("cover"),
            QStringLiteral("Also sets the release's front cover from the Cover Art Archive."));
    const QCommandLineOption coverSize(QStringLiteral("cover-size"),
                                       QStringLiteral("500 (the default), 1200 or original."),
                                       QStringLiteral("SIZE"), QStringLiteral("500"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Prints the changes; writes nothing."));
    const QCommandLineOption partial(
            QStringLiteral("partial"),
            QStringLiteral("Saves even when files or tracks are left without a match."));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("MusicBrainz's address (a mirror)."),
                                    QStringLiteral("URL"));
    const QCommandLineOption coverServer(QStringLiteral("cover-server"),
                                         QStringLiteral("The Cover Art Archive's address."),
                                         QStringLiteral("URL"));
    parser.addOptions({release, cover, coverSize, dryRun, partial, server, coverServer});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Audio files or folders."),
                                 QStringLiteral("FILE|FOLDER..."));
    int status = commandline::Success;
    if (!commandline::parse(parser, command, arguments,
                            QStringLiteral("quillet lookup [--release MBID [--cover] [--dry-run] "
                                           "[--partial]] [--server URL] [--cover-server URL] "
                                           "FILE|FOLDER..."),
                            console, &status))
        return status;
    if (parser.positionalArguments().isEmpty())
        return commandline::usageError(console, QStringLiteral("no file or folder given"), command);

    MusicBrainzClient::Settings settings = MusicBrainzClient::savedSettings();
    for (const auto &[option, url] :
         {std::pair {&server, &settings.server}, std::pair {&coverServer, &settings.coverServer}}) {
        if (!parser.isSet(*option))
            continue;
        *url = QUrl(parser.value(*option));
        if (!url->isValid() || url->host().isEmpty())
            return commandline::usageError(
                    console,
                    QStringLiteral("not a server's address: %1").arg(parser.value(*option)),
                    command);
    }
    MusicBrainzClient::CoverSize size = MusicBrainzClient::CoverSize::Medium500;
    if (parser.value(coverSize) == QLatin1String("1200"))
        size = MusicBrainzClient::CoverSize::Large1200;
    else if (parser.value(coverSize) == QLatin1String("original"))
        size = MusicBrainzClient::CoverSize::Original;
    else if (parser.value(coverSize) != QLatin1String("500"))
        return commandline::usageError(
                console, QStringLiteral("--cover-size takes 500, 1200 or original"), command);
    QString releaseId;
    if (parser.isSet(release)) {
        releaseId = musicbrainz::releaseIdIn(parser.value(release));
        if (releaseId.isEmpty())
            return commandline::usageError(
                    console,
                    QStringLiteral("not a release's identifier: %1").arg(parser.value(release)),
                    command);
    }

    // Every file is read before anything is asked: an album with one unreadable file is not
    // matched as if it had one track fewer.
    QList<musicbrainz::LookupFile> files;
    bool readable = true;
    for (const FileItem &item : withoutRepeats(collectFiles(parser.positionalArguments()))) {
        QString reason = item.error;
        TagRecord record;
        if (reason.isEmpty() && record.read(item.path, &reason)) {
            files.append(musicbrainz::lookupFile(item.path, record));
            continue;
        }
        console.error(item.path + QStringLiteral(": ") + reason);
        readable = false;
    }
    if (!readable)
        return commandline::Failure;
    if (files.isEmpty()) {
        console.error(QStringLiteral("quillet: no audio files found"));
        return commandline::Failure;
    }

    MusicBrainzClient client(settings);
    if (releaseId.isEmpty())
        return printCandidates(client, files, console);

    MusicBrainzReply *reply = client.release(releaseId);
    waitFor(reply);
    musicbrainz::Release found;
    QString error;
    if (!MusicBrainzClient::releaseResult(reply, releaseId, &found, &error)) {
        console.error(QStringLiteral("quillet: ") + error);
        return commandline::Failure;
    }
    const QList<musicbrainz::TrackRef> tracks = musicbrainz::allTracks(found);
    const QList<int> match = musicbrainz::matchFiles(files, found);
    const qsizetype matched = files.size() - match.count(-1);
    if ((matched < files.size() || matched < tracks.size()) && !parser.isSet(partial)) {
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (match[i] < 0)
                console.error(files[i].path + QStringLiteral(": no track fits"));
        }
        console.error(QStringLiteral("quillet: %1 of %2 files match the release's %3 tracks; "
                                     "nothing saved (--partial saves the matched ones)")
                              .arg(matched)
                              .arg(files.size())
                              .arg(tracks.size()));
        return commandline::Failure;
    }

    QByteArray coverBytes;
    if (parser.isSet(cover)) {
        MusicBrainzReply *coverReply = client.frontCover(releaseId, size);
        waitFor(coverReply);
        if (!MusicBrainzClient::coverResult(coverReply, &coverBytes, &error)) {
            console.error(QStringLiteral("quillet: ") + error);
            return commandline::Failure;
        }
    }

    int exitStatus = commandline::Success;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString &name = files[i].path;
        if (match[i] < 0) {
            console.out(nativeName(files[i].path + QStringLiteral(": no track fits; unchanged\n")));
            continue;
        }
        TagRecord record;
        if (!record.read(files[i].path, &error)) {
            console.error(name + QStringLiteral(": ") + error);
            exitStatus = commandline::Failure;
            continue;
        }
        const musicbrainz::TrackRef ref = tracks[match[i]];
        const musicbrainz::Track &track = found.media[ref.medium].tracks[ref.track];
        QString lines = files[i].path
                + QStringLiteral(": disc %1 track %2 \"%3\"\n")
                          .arg(found.media[ref.medium].position)
                          .arg(track.position)
                          .arg(track.title);
        TagChanges changes;
        for (const TagProperty &value : musicbrainz::trackValues(found, ref)) {
            const QStringList old = record.values(value.key);
            if (old == value.values)
                continue;
            changes.set(value.key, value.values);
            lines += QStringLiteral("  %1: %2 -> %3\n")
                             .arg(value.key, quoted(old), quoted(value.values));
        }
        if (!coverBytes.isEmpty() && record.cover() != coverBytes) {
            TagPicture picture;
            picture.data = coverBytes;
            changes.putPicture(picture);
            lines += QStringLiteral("  cover: %1 -> %2 bytes %3\n")
                             .arg(record.cover().isEmpty()
                                          ? QStringLiteral("none")
                                          : QStringLiteral("%1 bytes").arg(record.coverSize()))
                             .arg(coverBytes.size())
                             .arg(coverType(coverBytes));
        }
        if (changes.isEmpty())
            lines += QStringLiteral("  unchanged\n");
        console.out(nativeName(lines));
        if (parser.isSet(dryRun) || changes.isEmpty())
            continue;
        if (changes.save(files[i].path, &error) != 0) {
            console.error(name + QStringLiteral(": ") + error);
            exitStatus = commandline::Failure;
        }
    }
    return exitStatus;
}
