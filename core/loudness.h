// The loudness of audio files as ReplayGain 2.0 measures it: the audio decoded to its end with
// FFmpeg's libraries and measured with libebur128 (EBU R128, ITU-R BS.1770), and the tags that
// carry the result. No widgets and no shared state per file: tracks are measured on any thread,
// many at once.
#ifndef LOUDNESS_H
#define LOUDNESS_H

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace loudness {

// The level ReplayGain 2.0 gains bring audio to, and the one of Opus's R128 gains (RFC 7845).
constexpr double referenceLufs = -18.0;
constexpr double opusReferenceLufs = -23.0;

// A track's gating blocks, kept for the loudness of its album.
class GatingBlocks;

struct Track
{
    // Why the audio could not be measured to its end; empty when it was.
    QString error;
    // Integrated loudness in LUFS; -infinity when nothing was loud enough to count (silence, or
    // less than one 400 ms block).
    double lufs = 0;
    // The highest true peak of its channels, 1.0 being full scale.
    double peak = 0;
    // An Opus stream in Ogg: its gains are R128_* tags. lufs is measured as a player plays it,
    // the header's output gain applied, which is what those tags add to.
    bool oggOpus = false;
    // The header's output gain, Q7.8 dB (0 for anything but Ogg Opus).
    int opusOutputGain = 0;
    std::shared_ptr<const GatingBlocks> blocks;

    bool measured() const { return error.isEmpty(); }
    bool hasLoudness() const;
};

// Decodes the file's first audio stream to its end and measures it. Cancelling (from any thread)
// ends the decoding soon with the error "cancelled". keepBlocks: keep the gating blocks for
// measureAlbum, at some memory per minute of audio.
Track measureTrack(const QString &path, bool keepBlocks = true,
                   const std::atomic<bool> *cancelled = nullptr);

struct Album
{
    bool measured = false; // false when one of its tracks was not, or kept no blocks
    double lufs = 0; // over all its tracks' gating blocks together; -infinity for silence
    double peak = 0; // the highest of its tracks' peaks

    bool hasLoudness() const;
};

Album measureAlbum(const std::vector<const Track *> &tracks);

// The gain that brings lufs to reference, in dB.
double gain(double lufs, double reference = referenceLufs);

struct Tag
{
    QString key;
    QString value;
};

// The tags that carry a track's result, and its album's where album is given and measured:
// REPLAYGAIN_TRACK_GAIN "-6.52 dB", REPLAYGAIN_TRACK_PEAK "0.988553" and their album pair; for
// Ogg Opus R128_TRACK_GAIN and R128_ALBUM_GAIN (whole numbers, Q7.8 dB to -23 LUFS) instead,
// and both kinds with opusBoth. Nothing for a track not measured; no gain where there is no
// loudness to bring anywhere (silence).
QList<Tag> tags(const Track &track, const Album *album, bool opusBoth);

// A gain, peak or R128 value as its tag holds it.
QString gainText(double db);
QString peakText(double peak);
int q78(double db);

// Writes the tags into the file through the library's safe save; every other item of the file
// stays as it is. Returns 0, or the errno value with the reason ("permission denied; the file is
// unchanged") and the file as it was.
int writeTags(const QString &path, const QList<Tag> &tags, QString *reason = nullptr);

} // namespace loudness

#endif // LOUDNESS_H
