#include "loudness.h"

#include "failurereason.h"
#include "widetext.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}
#include <ebur128.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace loudness {

class GatingBlocks
{
public:
    explicit GatingBlocks(ebur128_state *state)
        : state(state)
    { }
    ~GatingBlocks() { ebur128_destroy(&state); }
    GatingBlocks(const GatingBlocks &) = delete;
    GatingBlocks &operator=(const GatingBlocks &) = delete;

    ebur128_state *state;
};

} // namespace loudness

namespace {

using loudness::GatingBlocks;

// A file's length may be stated a little longer than what decodes: encoder delay and padding
// are cut off. Shorter than this by more is a file that ends early.
constexpr double lengthTolerance = 0.25; // seconds

// The file is read through our own I/O: its name never reaches FFmpeg's protocols, and nothing
// a file names (a playlist's entries) is opened.
struct Source
{
    std::FILE *file = nullptr;
    const std::atomic<bool> *cancelled = nullptr;
    bool failed = false; // a read failed, as opposed to the file ending
};

bool isCancelled(const std::atomic<bool> *cancelled)
{
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

int readSource(void *opaque, uint8_t *buffer, int size)
{
    auto *source = static_cast<Source *>(opaque);
    if (isCancelled(source->cancelled))
        return AVERROR_EXIT;
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(size), source->file);
    if (got > 0)
        return static_cast<int>(got);
    if (std::ferror(source->file)) {
        source->failed = true;
        return AVERROR(EIO);
    }
    return AVERROR_EOF;
}

int64_t seekSource(void *opaque, int64_t offset, int whence)
{
    auto *source = static_cast<Source *>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat status;
        return fstat(fileno(source->file), &status) == 0 ? int64_t(status.st_size) : -1;
    }
    whence &= ~AVSEEK_FORCE;
    if (fseeko(source->file, offset, whence) != 0)
        return AVERROR(errno);
    return ftello(source->file);
}

int refuseNestedOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

// FFmpeg's messages would go to standard error of whatever program measures; what matters of
// them comes back as results.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Everything one measurement holds, released in any case.
struct Decoding
{
    Source source;
    AVIOContext *io = nullptr;
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    SwrContext *resampler = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    ebur128_state *meter = nullptr;

    int stream = -1;
    // What the resampler was set up for; the output keeps the first frame's layout and rate.
    AVChannelLayout inLayout {};
    int inFormat = -1;
    int inRate = 0;
    AVChannelLayout outLayout {};
    int outRate = 0;
    std::vector<float> samples;
    int64_t decodedFrames = 0; // at outRate

    ~Decoding()
    {
        if (meter)
            ebur128_destroy(&meter);
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        if (source.file)
            std::fclose(source.file);
    }
};

// A layout without an order is taken as the usual one for its number of channels.
void copyLayout(AVChannelLayout *to, const AVChannelLayout &from)
{
    av_channel_layout_uninit(to);
    if (from.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(to, &from) < 0)
        av_channel_layout_default(to, from.nb_channels);
}

int meterChannel(const AVChannelLayout &layout, int index)
{
    switch (av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(index))) {
    case AV_CHAN_FRONT_LEFT:
        return EBUR128_LEFT;
    case AV_CHAN_FRONT_RIGHT:
        return EBUR128_RIGHT;
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2:
        return EBUR128_UNUSED;
    case AV_CHAN_BACK_LEFT:
    case AV_CHAN_SIDE_LEFT:
        return EBUR128_LEFT_SURROUND;
    case AV_CHAN_BACK_RIGHT:
    case AV_CHAN_SIDE_RIGHT:
        return EBUR128_RIGHT_SURROUND;
    default: // the centre and any other channel count once, as BS.1770 weighs them
        return EBUR128_CENTER;
    }
}

bool startMeter(Decoding &d, const AVFrame &frame)
{
    copyLayout(&d.outLayout, frame.ch_layout);
    d.outRate = frame.sample_rate;
    const int channels = d.outLayout.nb_channels;
    d.meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(d.outRate),
                           EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!d.meter)
        return false;
    // An unordered layout keeps libebur128's own map, which follows the usual order.
    if (frame.ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) {
        for (int c = 0; c < channels; ++c)
            ebur128_set_channel(d.meter, static_cast<unsigned>(c), meterChannel(d.outLayout, c));
    }
    return true;
}

// Interleaved float samples in the first frame's layout and rate, whatever the decoder gives.
bool addFrame(Decoding &d, AVFrame *frame)
{
    if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0)
        return false;
    if (!d.meter && !startMeter(d, *frame))
        return false;
    AVChannelLayout layout {};
    copyLayout(&layout, frame->ch_layout);
    const bool sameInput = d.resampler && frame->format == d.inFormat
            && frame->sample_rate == d.inRate
            && av_channel_layout_compare(&layout, &d.inLayout) == 0;
    if (!sameInput) {
        swr_free(&d.resampler);
        std::swap(d.inLayout, layout);
        d.inFormat = frame->format;
        d.inRate = frame->sample_rate;
        if (swr_alloc_set_opts2(&d.resampler, &d.outLayout, AV_SAMPLE_FMT_FLT, d.outRate,
                                &d.inLayout, static_cast<AVSampleFormat>(d.inFormat), d.inRate, 0,
                                nullptr)
                    < 0
            || swr_init(d.resampler) < 0) {
            av_channel_layout_uninit(&layout);
            return false;
        }
    }
    av_channel_layout_uninit(&layout);

    const int room = swr_get_out_samples(d.resampler, frame->nb_samples);
    if (room < 0)
        return false;
    const int channels = d.outLayout.nb_channels;
    d.samples.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(channels));
    auto *out = reinterpret_cast<uint8_t *>(d.samples.data());
    const int converted
            = swr_convert(d.resampler, &out, room,
                          const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
    if (converted < 0)
        return false;
    d.decodedFrames += converted;
    return ebur128_add_frames_float(d.meter, d.samples.data(), static_cast<std::size_t>(converted))
            == EBUR128_SUCCESS;
}

// Takes every frame the decoder has ready; false when one is damaged or cannot be measured.
bool drain(Decoding &d)
{
    for (;;) {
        const int result = avcodec_receive_frame(d.codec, d.frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        const bool damaged
                = (d.frame->flags & AV_FRAME_FLAG_CORRUPT) || d.frame->decode_error_flags;
        const bool added = !damaged && addFrame(d, d.frame);
        av_frame_unref(d.frame);
        if (!added)
            return false;
    }
}

bool decode(Decoding &d, const AVPacket *packet)
{
    int result = avcodec_send_packet(d.codec, packet);
    if (result == AVERROR(EAGAIN)) {
        if (!drain(d))
            return false;
        result = avcodec_send_packet(d.codec, packet);
    }
    if (result < 0 && result != AVERROR_EOF)
        return false;
    return drain(d);
}

QString seconds(double value)
{
    return QStringLiteral("%1 s").arg(value, 0, 'f', 2);
}

QString endedEarly(const Decoding &d)
{
    const double decoded = d.outRate > 0 ? double(d.decodedFrames) / d.outRate : 0.0;
    return QStringLiteral("the audio cannot be decoded to its end: it breaks off after %1")
            .arg(seconds(decoded));
}

// The length the file states for its audio, in seconds; negative where it states none (an
// estimate from the bit rate is no statement).
double statedLength(const Decoding &d)
{
    const AVStream *stream = d.format->streams[d.stream];
    if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0
        || d.format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return -1;
    return double(stream->duration) * av_q2d(stream->time_base);
}

QString openInput(Decoding &d, const QString &path)
{
    // Without waiting: a FIFO or a device named as a file is refused, not read from.
    const int fd = ::open(nativeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failureReason(errno);
    d.source.file = fdopen(fd, "rb");
    if (!d.source.file) {
        ::close(fd);
        return failureReason(ENOMEM);
    }
    struct stat status;
    if (fstat(fd, &status) != 0)
        return failureReason(errno);
    if (!S_ISREG(status.st_mode))
        return S_ISDIR(status.st_mode) ? failureReason(EISDIR)
                                       : QStringLiteral("not a regular file");
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    constexpr int bufferSize = 64 * 1024;
    auto *buffer = static_cast<unsigned char *>(av_malloc(bufferSize));
    if (buffer)
        d.io = avio_alloc_context(buffer, bufferSize, 0, &d.source, readSource, nullptr,
                                  seekSource);
    if (!d.io) {
        av_free(buffer);
        return failureReason(ENOMEM);
    }
    d.format = avformat_alloc_context();
    if (!d.format)
        return failureReason(ENOMEM);
    d.format->pb = d.io;
    d.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    d.format->io_open = refuseNestedOpen;
    // avformat_open_input frees the context when it fails.
    if (avformat_open_input(&d.format, "", nullptr, nullptr) < 0)
        return QStringLiteral("not audio that can be decoded");
    if (avformat_find_stream_info(d.format, nullptr) < 0)
        return QStringLiteral("not audio that can be decoded");
    const AVCodec *decoder = nullptr;
    d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (d.stream < 0 || !decoder)
        return d.stream == AVERROR_DECODER_NOT_FOUND ? QStringLiteral("no decoder for its audio")
                                                     : QStringLiteral("no audio stream");
    for (unsigned i = 0; i < d.format->nb_streams; ++i) {
        if (int(i) != d.stream)
            d.format->streams[i]->discard = AVDISCARD_ALL;
    }
    d.codec = avcodec_alloc_context3(decoder);
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.codec || !d.packet || !d.frame)
        return failureReason(ENOMEM);
    if (avcodec_parameters_to_context(d.codec, d.format->streams[d.stream]->codecpar) < 0
        || avcodec_open2(d.codec, decoder, nullptr) < 0)
        return QStringLiteral("its audio cannot be decoded");
    return QString();
}

uint32_t oggChecksum(uint32_t crc, const unsigned char *bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= uint32_t(bytes[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    return crc;
}

// Whether an Ogg file ends with its stream's last page, whole. Its demuxer takes a file cut off
// inside a page, or after one, as a shorter stream, and its stated length comes from its last
// page: the end itself has to be looked at. The last page that is complete and checks must
// carry the end-of-stream flag, and nothing that begins like a page may follow it.
bool oggEndsWhole(std::FILE *file)
{
    constexpr off_t most = 65307 + 255; // the largest page, and room to find its start
    if (fseeko(file, 0, SEEK_END) != 0)
        return false;
    const off_t size = ftello(file);
    const off_t from = std::max<off_t>(0, size - most);
    std::vector<unsigned char> tail(static_cast<std::size_t>(size - from));
    if (fseeko(file, from, SEEK_SET) != 0
        || std::fread(tail.data(), 1, tail.size(), file) != tail.size())
        return false;
    constexpr std::size_t none = std::size_t(-1);
    std::size_t broken = none; // the last place that begins like a page but is none
    for (std::size_t at = tail.size() < 4 ? 0 : tail.size() - 4 + 1; at-- > 0;) {
        const unsigned char *page = tail.data() + at;
        if (std::memcmp(page, "OggS", 4) != 0)
            continue;
        const std::size_t left = tail.size() - at;
        std::size_t length = 27;
        if (left >= 27) {
            length += page[26];
            for (std::size_t i = 0; i < page[26] && 27 + i < left; ++i)
                length += page[27 + i];
        }
        if (left < 27 || length > left || page[4] != 0) {
            broken = broken == none ? at : broken;
            continue;
        }
        // The checksum is over the page with its own four bytes as zeros.
        const unsigned char zeros[4] = {};
        const uint32_t checksum = oggChecksum(oggChecksum(oggChecksum(0, page, 22), zeros, 4),
                                              page + 26, length - 26);
        const uint32_t stated = uint32_t(page[22]) | uint32_t(page[23]) << 8
                | uint32_t(page[24]) << 16 | uint32_t(page[25]) << 24;
        if (checksum != stated) {
            broken = broken == none ? at : broken;
            continue;
        }
        // What began like a page inside this one is its data.
        return (page[5] & 0x04) && (broken == none || broken < at + length);
    }
    return false;
}

// Whether a RIFF (WAV) or IFF (AIFF) file is as long as its header says. Their demuxers take a
// file cut off at a whole sample as a shorter one. A size of 0 or 0xFFFFFFFF is a writer's that
// could not go back to fill it in (or RF64's): that says nothing.
bool chunksWhole(std::FILE *file, bool littleEndian)
{
    unsigned char header[8];
    if (fseeko(file, 0, SEEK_SET) != 0 || std::fread(header, 1, 8, file) != 8
        || fseeko(file, 0, SEEK_END) != 0)
        return false;
    const uint32_t size = littleEndian ? uint32_t(header[4]) | uint32_t(header[5]) << 8
                    | uint32_t(header[6]) << 16 | uint32_t(header[7]) << 24
                                       : uint32_t(header[7]) | uint32_t(header[6]) << 8
                    | uint32_t(header[5]) << 16 | uint32_t(header[4]) << 24;
    return size == 0 || size == 0xFFFFFFFFu || off_t(size) + 8 <= ftello(file);
}

bool endsWhole(const Decoding &d)
{
    const char *name = d.format->iformat->name;
    if (std::strcmp(name, "ogg") == 0)
        return oggEndsWhole(d.source.file);
    if (std::strcmp(name, "wav") == 0)
        return chunksWhole(d.source.file, true);
    if (std::strcmp(name, "aiff") == 0)
        return chunksWhole(d.source.file, false);
    return true;
}

// The header's output gain of an Ogg Opus stream (RFC 7845, OpusHead bytes 16 and 17).
int opusOutputGain(const AVCodecParameters &parameters)
{
    if (parameters.extradata_size < 18 || std::memcmp(parameters.extradata, "OpusHead", 8) != 0)
        return 0;
    return int16_t(uint16_t(parameters.extradata[16] | (parameters.extradata[17] << 8)));
}

} // namespace

namespace loudness {

bool Track::hasLoudness() const
{
    return measured() && std::isfinite(lufs);
}

bool Album::hasLoudness() const
{
    return measured && std::isfinite(lufs);
}

Track measureTrack(const QString &path, bool keepBlocks, const std::atomic<bool> *cancelled)
{
    quietLibraries();
    Track track;
    Decoding d;
    d.source.cancelled = cancelled;
    track.error = openInput(d, path);
    if (!track.error.isEmpty()) {
        if (isCancelled(cancelled))
            track.error = QStringLiteral("cancelled");
        return track;
    }
    const AVCodecParameters &parameters = *d.format->streams[d.stream]->codecpar;
    track.oggOpus = parameters.codec_id == AV_CODEC_ID_OPUS
            && std::strcmp(d.format->iformat->name, "ogg") == 0;
    if (track.oggOpus)
        track.opusOutputGain = opusOutputGain(parameters);

    bool whole = true;
    for (;;) {
        const int result = av_read_frame(d.format, d.packet);
        if (result < 0) {
            whole = result == AVERROR_EOF && !d.source.failed && d.io->error == 0;
            break;
        }
        const bool ours = d.packet->stream_index == d.stream;
        const bool decoded = !ours || decode(d, d.packet);
        av_packet_unref(d.packet);
        if (!decoded) {
            whole = false;
            break;
        }
    }
    if (isCancelled(cancelled)) {
        track.error = QStringLiteral("cancelled");
        return track;
    }
    // What the decoder still holds counts, after a damaged packet too.
    whole = decode(d, nullptr) && whole;
    // Where the file states its length, the audio is whole when it decodes to it: what fails to
    // decode after that is something else (a cut-off last frame, stray bytes after the audio).
    const double stated = statedLength(d);
    const double decoded = d.meter ? double(d.decodedFrames) / d.outRate : 0.0;
    const bool reachesStated = stated > 0 && decoded >= stated - lengthTolerance;
    if (!d.meter && whole && stated <= 0) {
        track.error = QStringLiteral("no audio in the file");
        return track;
    }
    if (!whole && !reachesStated) {
        track.error = endedEarly(d);
        return track;
    }
    if (stated > 0 && !reachesStated) {
        track.error = QStringLiteral("the audio ends after %1 of the %2 the file states")
                              .arg(seconds(decoded), seconds(stated));
        return track;
    }
    if (!endsWhole(d)) {
        track.error = endedEarly(d);
        return track;
    }

    if (ebur128_loudness_global(d.meter, &track.lufs) != EBUR128_SUCCESS) {
        track.error = QStringLiteral("the loudness cannot be measured");
        return track;
    }
    for (unsigned c = 0; c < d.meter->channels; ++c) {
        double peak = 0;
        if (ebur128_true_peak(d.meter, c, &peak) == EBUR128_SUCCESS)
            track.peak = std::max(track.peak, peak);
    }
    // Only the gating blocks are needed from here on. Going over to one channel at a low rate
    // gives back the buffers for the audio (about 400 KB for 44.1 kHz stereo) and keeps them.
    if (keepBlocks && ebur128_change_parameters(d.meter, 1, 8000) != EBUR128_ERROR_NOMEM) {
        track.blocks = std::make_shared<GatingBlocks>(d.meter);
        d.meter = nullptr;
    }
    return track;
}

Album measureAlbum(const std::vector<const Track *> &tracks)
{
    Album album;
    std::vector<ebur128_state *> states;
    for (const Track *track : tracks) {
        if (!track->measured() || !track->blocks)
            return album;
        states.push_back(track->blocks->state);
        album.peak = std::max(album.peak, track->peak);
    }
    if (states.empty()
        || ebur128_loudness_global_multiple(states.data(), states.size(), &album.lufs)
                != EBUR128_SUCCESS)
        return album;
    album.measured = true;
    return album;
}

double gain(double lufs, double reference)
{
    return reference - lufs;
}

QString gainText(double db)
{
    QString text = QString::number(db, 'f', 2);
    if (text == QLatin1String("-0.00"))
        text.remove(0, 1);
    return text + QStringLiteral(" dB");
}

QString peakText(double peak)
{
    return QString::number(peak, 'f', 6);
}

int q78(double db)
{
    const double value = std::round(db * 256.0);
    return static_cast<int>(std::clamp(value, double(std::numeric_limits<int16_t>::min()),
                                       double(std::numeric_limits<int16_t>::max())));
}

QList<Tag> tags(const Track &track, const Album *album, bool opusBoth)
{
    QList<Tag> result;
    if (!track.measured())
        return result;
    const bool withAlbum = album && album->measured;
    const bool replayGain = !track.oggOpus || opusBoth;
    if (track.oggOpus) {
        if (track.hasLoudness())
            result.append({QStringLiteral("R128_TRACK_GAIN"),
                           QString::number(q78(gain(track.lufs, opusReferenceLufs)))});
        if (withAlbum && album->hasLoudness())
            result.append({QStringLiteral("R128_ALBUM_GAIN"),
                           QString::number(q78(gain(album->lufs, opusReferenceLufs)))});
    }
    if (replayGain) {
        if (track.hasLoudness()) {
            result.append({QStringLiteral("REPLAYGAIN_TRACK_GAIN"), gainText(gain(track.lufs))});
            result.append({QStringLiteral("REPLAYGAIN_TRACK_PEAK"), peakText(track.peak)});
        }
        if (withAlbum && album->hasLoudness()) {
            result.append({QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), gainText(gain(album->lufs))});
            result.append({QStringLiteral("REPLAYGAIN_ALBUM_PEAK"), peakText(album->peak)});
        }
    }
    return result;
}

} // namespace loudness
