#include "loudnesscommand.h"

#include "batch.h"
#include "commandline.h"
#include "console.h"
#include "filewalk.h"
#include "loudness.h"
#include "widetext.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>

#include <cmath>
#include <vector>

namespace {

const QString command = QStringLiteral("loudness");

// "-11.48 LUFS, gain -6.52 dB, peak 0.988553", or "silent, peak 0.000000".
QString result(double lufs, double peak)
{
    const QString peakText = QStringLiteral("peak ") + loudness::peakText(peak);
    if (!std::isfinite(lufs))
        return QStringLiteral("silent, ") + peakText;
    return QStringLiteral("%1 LUFS, gain %2, %3")
            .arg(QString::number(lufs, 'f', 2), loudness::gainText(loudness::gain(lufs)), peakText);
}

QByteArray trackLine(const QString &path, const loudness::Track &track)
{
    QString line = path + QStringLiteral(": ") + result(track.lufs, track.peak);
    if (track.oggOpus && track.hasLoudness())
        line += QStringLiteral(", R128 gain %1")
                        .arg(loudness::q78(
                                loudness::gain(track.lufs, loudness::opusReferenceLufs)));
    return nativeName(line + QLatin1Char('\n'));
}

// The files of each folder, for --album: an album is complete once its last file is.
struct Albums
{
    std::vector<int> of; // each file's album; -1 for none
    struct Members
    {
        QString folder; // as the first of its files names it
        std::vector<qsizetype> files;
        loudness::Album result;
    };
    std::vector<Members> albums;

    Albums(const QList<FileItem> &files, bool byFolder)
        : of(static_cast<std::size_t>(files.size()), -1)
    {
        if (!byFolder)
            return;
        QHash<QString, int> byPath;
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (!files[i].error.isEmpty())
                continue;
            const QFileInfo info(files[i].path);
            const auto found = byPath.constFind(info.absolutePath());
            const int album = found != byPath.constEnd() ? *found : int(albums.size());
            if (found == byPath.constEnd()) {
                byPath.insert(info.absolutePath(), album);
                albums.push_back({info.path(), {}, {}});
            }
            albums[std::size_t(album)].files.push_back(i);
            of[std::size_t(i)] = album;
        }
    }
};

} // namespace

int loudnessCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Measures the loudness of audio files (ReplayGain 2.0: EBU R128 loudness, true\n"
            "peak, reference -18 LUFS), prints each file's loudness, gain and peak, and\n"
            "writes them as ReplayGain tags (Opus: R128 gains). A folder is walked for audio\n"
            "files, sorted by path."));
    const QCommandLineOption album(
            QStringLiteral("album"),
            QStringLiteral("Takes the files of each folder as one album: its gain and peak too."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Measures and prints; writes nothing."));
    const QCommandLineOption opusBoth(
            QStringLiteral("opus-both"),
            QStringLiteral("Writes ReplayGain tags into Opus files as well as R128 gains."));
    parser.addOptions({album, dryRun, opusBoth});
    int status = commandline::Success;
    const int jobs = commandline::parseFileCommand(
            parser, command, arguments,
            QStringLiteral("quillet loudness [--album] [--dry-run] [--opus-both] [--jobs N] "
                           "FILE|FOLDER..."),
            console, &status);
    if (jobs == 0)
        return status;
    if (parser.positionalArguments().isEmpty())
        return commandline::usageError(console, QStringLiteral("no file or folder given"), command);
    const bool writing = !parser.isSet(dryRun);

    // Each file once: measured twice, it would count twice in its album.
    const QList<FileItem> files = withoutRepeats(collectFiles(parser.positionalArguments()));
    Albums albums(files, parser.isSet(album));
    std::vector<loudness::Track> tracks(static_cast<std::size_t>(files.size()));

    const auto measure = [&](qsizetype i) {
        loudness::Track &track = tracks[std::size_t(i)];
        track = loudness::measureTrack(files[i].path, albums.of[std::size_t(i)] >= 0);
        FileOutcome outcome;
        outcome.error = track.error;
        if (track.measured())
            outcome.output = trackLine(files[i].path, track);
        return outcome;
    };
    // An album's line follows its last file; its tracks' gating blocks are then let go.
    const auto albumDone = [&](qsizetype i) {
        const int index = albums.of[std::size_t(i)];
        if (index < 0 || albums.albums[std::size_t(index)].files.back() != i)
            return true;
        Albums::Members &members = albums.albums[std::size_t(index)];
        std::vector<const loudness::Track *> albumTracks;
        qsizetype failed = 0;
        for (const qsizetype file : members.files) {
            albumTracks.push_back(&tracks[std::size_t(file)]);
            failed += tracks[std::size_t(file)].measured() ? 0 : 1;
        }
        members.result = loudness::measureAlbum(albumTracks);
        for (const qsizetype file : members.files)
            tracks[std::size_t(file)].blocks.reset();
        if (!members.result.measured) {
            console.error(QStringLiteral("%1: no album gain: %2 of its %3 files could not be "
                                         "measured")
                                  .arg(members.folder)
                                  .arg(failed)
                                  .arg(members.files.size()));
            return false;
        }
        console.out(nativeName(
                QStringLiteral("album %1: %2\n")
                        .arg(members.folder, result(members.result.lufs, members.result.peak))));
        return true;
    };
    bool succeeded = runBatch(files, jobs, measure, albumDone, console);
    if (!writing)
        return succeeded ? commandline::Success : commandline::Failure;

    // Only the files measured are written, each with its album's result where it has one.
    QList<FileItem> measured;
    std::vector<QList<loudness::Tag>> tagsOf;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const loudness::Track &track = tracks[std::size_t(i)];
        const int index = albums.of[std::size_t(i)];
        const QList<loudness::Tag> tags = loudness::tags(
                track, index >= 0 ? &albums.albums[std::size_t(index)].result : nullptr,
                parser.isSet(opusBoth));
        if (!tags.isEmpty()) {
            measured.append(files[i]);
            tagsOf.push_back(tags);
        }
    }
    const auto write = [&](qsizetype i) {
        FileOutcome outcome;
        loudness::writeTags(measured[i].path, tagsOf[std::size_t(i)], &outcome.error);
        return outcome;
    };
    succeeded = runBatch(measured, jobs, write, {}, console) && succeeded;
    return succeeded ? commandline::Success : commandline::Failure;
}
