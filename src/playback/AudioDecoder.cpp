#include "AudioDecoder.h"
#include "AudioSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>
#include <sys/stat.h>

namespace corvanel::playback {

namespace audio {

void FormatContextClose::operator()(AVFormatContext *f) const
{
    avformat_close_input(&f);
}
void CodecContextFree::operator()(AVCodecContext *c) const
{
    avcodec_free_context(&c);
}
void FrameFree::operator()(AVFrame *f) const
{
    av_frame_free(&f);
}
void PacketFree::operator()(AVPacket *p) const
{
    av_packet_free(&p);
}
void SwrFree::operator()(SwrContext *s) const
{
    swr_free(&s);
}

namespace {

// Frames decoded before the wanted one after a seek. MP3 frames may borrow up to 511 bytes of
// the frames before them and overlap their neighbours, so the first frames after a jump are garbage.
constexpr int64_t kPreroll = 12 * 1152;
// Consecutive undecodable packets after which a file counts as broken.
constexpr int kMaxErrors = 64;

int interrupted(void *opaque)
{
    return static_cast<const AudioSource *>(opaque)->aborted() ? 1 : 0;
}

// Sound that is encrypted: FairPlay ("drms" sample entries of songs bought from iTunes before
// 2009), Audible's AAX ("aavd") and Audible's own .aa format. FFmpeg would hand the encrypted
// bytes to the AAC decoder, which turns them into noise or errors.
bool isProtected(const AVFormatContext *f, const AVStream *st)
{
    const uint32_t tag = st->codecpar->codec_tag;
    return tag == MKTAG('d', 'r', 'm', 's') || tag == MKTAG('a', 'a', 'v', 'd') ||
           (f->iformat && f->iformat->name && std::strcmp(f->iformat->name, "aa") == 0);
}

// Opens the container over our own reader, with the abort flag looked at on every wait, and
// picks its audio stream.
int openInput(const std::string &path, const std::atomic<bool> *abort, std::unique_ptr<AudioSource> &source,
              std::unique_ptr<AVFormatContext, FormatContextClose> &format, int &stream)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? 9 : 11;
    if (S_ISDIR(info.st_mode))
        return 11;
    auto opened = AudioSource::open(path, abort);
    if (!opened)
        return opened.error();
    source = std::move(*opened);

    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        return 12;
    raw->pb = source->io();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->interrupt_callback.callback = interrupted;
    raw->interrupt_callback.opaque = source.get();
    // Songs are single audio streams whose headers say what they hold: a short look is
    // enough, and every byte counts on a slow device.
    raw->probesize = 32 * 1024;
    raw->max_analyze_duration = AV_TIME_BASE / 20;
    // The name still helps the probe recognise the format by its extension.
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) { // avformat_open_input frees the context on failure
        if (rc == AVERROR(ENOENT))
            return 9;
        // No demuxer recognises the bytes (FFmpeg answers EINVAL when probing finds nothing).
        if (rc == AVERROR_INVALIDDATA || rc == AVERROR(EINVAL) || rc == AVERROR_EOF)
            return 10;
        return 11;
    }
    format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0)
        return source->aborted() ? 11 : 10;
    stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
        return 10;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        raw->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    if (isProtected(raw, raw->streams[stream]))
        return 18;
    const AVCodecParameters *par = raw->streams[stream]->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        return 10;
    return 0;
}

// The frames a packet covers, in stream time-base units.
int64_t packetDuration(const AVPacket *packet, const AVStream *st)
{
    if (packet->duration > 0)
        return packet->duration;
    const int samples = av_get_audio_frame_duration2(st->codecpar, packet->size);
    if (samples <= 0)
        return 0;
    return av_rescale_q(samples, AVRational{1, st->codecpar->sample_rate}, st->time_base);
}

// The samples a decoder drops from the start and the end of a packet (gapless trimming).
int64_t packetSkip(const AVPacket *packet)
{
    size_t size = 0;
    const uint8_t *data = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (!data || size < 8)
        return 0;
    auto le32 = [](const uint8_t *p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    };
    return int64_t(le32(data)) + int64_t(le32(data + 4));
}

bool isMp3(const AVFormatContext *f)
{
    return f->iformat && f->iformat->name && std::strcmp(f->iformat->name, "mp3") == 0;
}

} // namespace

int64_t itunesSampleCount(const char *smpb)
{
    // " 00000000 00000840 000001CA 00000000003F31F6 ...": a zero, the encoder delay, the padding
    // and the song's own length in samples, in hexadecimal.
    if (!smpb)
        return -1;
    std::string_view text(smpb);
    uint64_t fields[4] = {};
    for (uint64_t &field : fields) {
        const size_t start = text.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return -1;
        text.remove_prefix(start);
        const size_t end = std::min(text.find(' '), text.size());
        if (end == 0 || end > 16)
            return -1;
        const auto [rest, error] = std::from_chars(text.data(), text.data() + end, field, 16);
        if (error != std::errc() || rest != text.data() + end)
            return -1;
        text.remove_prefix(end);
    }
    return fields[3] > 0 && fields[3] < uint64_t(INT64_MAX) ? int64_t(fields[3]) : -1;
}

namespace {

// The song's own length that iTunes wrote beside an AAC stream, or -1. FFmpeg takes only the
// encoder delay from it; the padding at the end is left to the player.
int64_t itunesLength(const AVFormatContext *f, const AVStream *st)
{
    const AVDictionaryEntry *entry = av_dict_get(st->metadata, "iTunSMPB", nullptr, 0);
    if (!entry)
        entry = av_dict_get(f->metadata, "iTunSMPB", nullptr, 0);
    return entry ? itunesSampleCount(entry->value) : -1;
}

// Whether a song length from iTunSMPB can stand for the frames counted: it may only take off
// the padding, which is less than a few AAC frames.
int64_t trimmedLength(int64_t counted, int64_t itunes)
{
    constexpr int64_t kMostPadding = 4 * 1024;
    return itunes > 0 && itunes <= counted && counted - itunes < kMostPadding ? itunes : counted;
}

std::atomic<int> g_openDecoders{0};

} // namespace

AudioDecoder::AudioDecoder()
{
    g_openDecoders.fetch_add(1, std::memory_order_relaxed);
}

AudioDecoder::~AudioDecoder()
{
    g_openDecoders.fetch_sub(1, std::memory_order_relaxed);
}

int AudioDecoder::openCount()
{
    return g_openDecoders.load(std::memory_order_relaxed);
}

void AudioDecoder::setAbort(const std::atomic<bool> *abort)
{
    if (m_source)
        m_source->setAbort(abort);
}

std::expected<std::unique_ptr<AudioDecoder>, int> AudioDecoder::open(const std::string &path,
                                                                     const std::atomic<bool> *abort)
{
    std::unique_ptr<AudioDecoder> d(new AudioDecoder);
    if (int code = openInput(path, abort, d->m_source, d->m_format, d->m_stream); code != 0)
        return std::unexpected(code);
    AVStream *st = d->m_format->streams[d->m_stream];
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return std::unexpected(18);
    d->m_codec.reset(avcodec_alloc_context3(codec));
    d->m_frame.reset(av_frame_alloc());
    d->m_packet.reset(av_packet_alloc());
    if (!d->m_codec || !d->m_frame || !d->m_packet)
        return std::unexpected(12);
    if (avcodec_parameters_to_context(d->m_codec.get(), st->codecpar) < 0)
        return std::unexpected(10);
    d->m_codec->pkt_timebase = st->time_base;
    if (avcodec_open2(d->m_codec.get(), codec, nullptr) < 0)
        return std::unexpected(18);

    d->m_sourceRate = st->codecpar->sample_rate;
    d->m_outChannels = st->codecpar->ch_layout.nb_channels == 1 ? 1 : 2;
    d->m_byteSeek = isMp3(d->m_format.get());
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
        d->m_estimatedFrames = av_rescale_q(st->duration, st->time_base, AVRational{1, d->m_sourceRate});
    else if (d->m_format->duration > 0)
        d->m_estimatedFrames = av_rescale(d->m_format->duration, d->m_sourceRate, AV_TIME_BASE);

    // The first frame proves that the file decodes; it is kept for the first decode().
    std::vector<float> first;
    Result r = Result::Frames;
    while (first.empty() && r == Result::Frames)
        r = d->decode(first);
    if (first.empty()) {
        // Packets that the decoder refused: a sound this engine cannot decode. No packet at all
        // is a broken file when the contents were recognised; chosen only for its name (an empty
        // or text file called .mp3) it is not a sound at all.
        if (d->m_rejected > 0 && !d->m_source->aborted())
            return std::unexpected(18);
        return std::unexpected(d->m_format->probe_score > AVPROBE_SCORE_EXTENSION ? 11 : 10);
    }
    d->m_first = std::move(first);
    return d;
}

ScanResult AudioDecoder::scan(const std::string &path, const std::atomic<bool> *abort)
{
    ScanResult result;
    std::unique_ptr<AudioSource> source; // outlives the container that reads through it
    std::unique_ptr<AVFormatContext, FormatContextClose> format;
    int stream = -1;
    if (openInput(path, abort, source, format, stream) != 0)
        return result;
    const AVStream *st = format->streams[stream];
    const AVRational perFrame{1, st->codecpar->sample_rate};
    const bool points = isMp3(format.get());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet)
        return result;

    int64_t duration = 0; // in time-base units, summed before rounding
    int64_t skipped = 0;  // frames the decoder drops (encoder delay and padding, discarded packets)
    int64_t count = 0;
    for (;;) {
        if (abort && abort->load(std::memory_order_relaxed))
            return result;
        const int rc = av_read_frame(format.get(), packet.get());
        if (rc == AVERROR_EOF)
            break;
        if (rc < 0)
            return result;
        if (packet->stream_index == stream) {
            const int64_t d = packetDuration(packet.get(), st);
            const int64_t start = av_rescale_q(duration, st->time_base, perFrame) - skipped;
            // Every fourth packet is close enough: decoding on from there to the wanted frame is cheap.
            if (points && packet->pos >= 0 && count % 4 == 0)
                result.points.push_back(SeekPoint{packet->pos, start});
            const int64_t frames =
                av_rescale_q(duration + d, st->time_base, perFrame) - av_rescale_q(duration, st->time_base, perFrame);
            if (packet->flags & AV_PKT_FLAG_DISCARD)
                skipped += frames;
            else
                skipped += std::min(frames, packetSkip(packet.get()));
            duration += d;
            ++count;
        }
        av_packet_unref(packet.get());
    }
    result.frames = trimmedLength(std::max<int64_t>(0, av_rescale_q(duration, st->time_base, perFrame) - skipped),
                                  itunesLength(format.get(), st));
    result.ok = true;
    return result;
}

void AudioDecoder::skipTo(int64_t frame)
{
    m_dropUntil = frame;
    // The frame decoded by open() starts the stream and was converted already: trim it here.
    const int64_t drop = av_rescale(frame, kMixRate, m_sourceRate) * m_outChannels;
    m_first.erase(m_first.begin(), m_first.begin() + ptrdiff_t(std::clamp<int64_t>(drop, 0, int64_t(m_first.size()))));
}

bool AudioDecoder::needsReopen(int64_t frame)
{
    return frame < kPreroll + 1152;
}

bool AudioDecoder::seek(int64_t frame, const ScanResult *index)
{
    if (needsReopen(frame))
        return false;
    AVStream *st = m_format->streams[m_stream];
    const AVRational perFrame{1, m_sourceRate};
    const int64_t from = frame - kPreroll;
    m_first.clear();
    m_draining = false;
    m_finished = false;
    m_errors = 0;
    m_dropUntil = frame;
    if (m_limit >= 0 && frame >= m_limit) {
        m_finished = true;
        return true;
    }

    if (m_byteSeek && index && index->ok && !index->points.empty()) {
        auto it = std::upper_bound(index->points.begin(), index->points.end(), from,
                                   [](int64_t f, const SeekPoint &p) { return f < p.frame; });
        if (it == index->points.begin())
            return false;
        --it;
        if (av_seek_frame(m_format.get(), m_stream, it->pos, AVSEEK_FLAG_BYTE) < 0)
            return false;
        avcodec_flush_buffers(m_codec.get());
        m_mode = Mode::Tagged;
        m_tagNext = it->frame;
        m_nextFrame = it->frame;
    } else {
        if (m_byteSeek)
            return false; // timestamps of a raw MP3 stream are estimates: only the index lands exactly
        const int64_t ts = m_originPts + av_rescale_q(from, perFrame, st->time_base);
        if (av_seek_frame(m_format.get(), m_stream, ts, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        avcodec_flush_buffers(m_codec.get());
        m_mode = Mode::Timestamped;
        m_nextFrame = from;
    }
    if (m_swr)
        swr_init(m_swr.get());
    return true;
}

AudioDecoder::Result AudioDecoder::decode(std::vector<float> &out)
{
    if (!m_first.empty()) {
        out.insert(out.end(), m_first.begin(), m_first.end());
        m_first.clear();
        return Result::Frames;
    }
    if (m_finished)
        return Result::End;
    bool appended = false;
    for (;;) {
        const Result r = readFrame(out, appended);
        if (r != Result::Frames || appended)
            return r;
    }
}

// Receives one decoded frame, reading packets as the decoder asks for them.
AudioDecoder::Result AudioDecoder::readFrame(std::vector<float> &out, bool &appended)
{
    for (;;) {
        int rc = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (rc == 0) {
            m_errors = 0;
            deliverFrame(out, appended);
            av_frame_unref(m_frame.get());
            return m_finished && !appended ? Result::End : Result::Frames;
        }
        if (rc == AVERROR_EOF) {
            flushResampler(out);
            m_finished = true;
            appended = appended || !out.empty();
            return out.empty() ? Result::End : Result::Frames;
        }
        if (rc != AVERROR(EAGAIN)) {
            ++m_rejected;
            if (++m_errors > kMaxErrors)
                return Result::Failed;
            continue;
        }
        if (m_draining)
            return Result::End;

        rc = av_read_frame(m_format.get(), m_packet.get());
        if (rc == AVERROR_EOF) {
            m_draining = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            continue;
        }
        if (rc < 0)
            return Result::Failed; // the file broke or vanished: the sound ends here
        if (m_packet->stream_index != m_stream) {
            av_packet_unref(m_packet.get());
            continue;
        }
        if (m_mode == Mode::Tagged) {
            // After a byte seek the demuxer's timestamps are guesses; the index knows the real ones,
            // and trimming of the start and end is done here, not by the decoder.
            const AVStream *st = m_format->streams[m_stream];
            const int64_t d =
                av_rescale_q(packetDuration(m_packet.get(), st), st->time_base, AVRational{1, m_sourceRate});
            size_t size = 0;
            if (uint8_t *skip = av_packet_get_side_data(m_packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &size))
                std::fill(skip, skip + size, uint8_t(0));
            m_packet->pts = m_packet->dts = m_tagNext;
            m_tagNext += d;
        }
        rc = avcodec_send_packet(m_codec.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) {
            ++m_rejected;
            if (++m_errors > kMaxErrors)
                return Result::Failed;
        }
    }
}

void AudioDecoder::deliverFrame(std::vector<float> &out, bool &appended)
{
    AVFrame *f = m_frame.get();
    const int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    if (!m_originKnown) {
        m_originKnown = true;
        m_originPts = ts != AV_NOPTS_VALUE ? ts : 0;
    }
    int64_t index = m_nextFrame;
    if (ts != AV_NOPTS_VALUE) {
        if (m_mode == Mode::Tagged)
            index = ts;
        else if (m_mode == Mode::Timestamped)
            index = av_rescale_q(ts - m_originPts, m_format->streams[m_stream]->time_base, AVRational{1, m_sourceRate});
    }
    int n = f->nb_samples;
    m_nextFrame = index + n;
    if (f->sample_rate > 0 && f->sample_rate != m_sourceRate) {
        // A rate change mid-stream: positions keep counting in the first rate's frames.
        m_nextFrame = index + av_rescale(n, m_sourceRate, f->sample_rate);
    }
    if (m_limit >= 0 && index + n >= m_limit) {
        n = int(std::max<int64_t>(0, m_limit - index));
        m_finished = true;
    }
    const int skip = int(std::clamp<int64_t>(m_dropUntil - index, 0, n));
    if (skip >= n || !ensureResampler())
        return;

    const int bytesPerSample = av_get_bytes_per_sample(AVSampleFormat(f->format));
    const bool planar = av_sample_fmt_is_planar(AVSampleFormat(f->format));
    const int inChannels = f->ch_layout.nb_channels;
    const uint8_t *in[AV_NUM_DATA_POINTERS] = {};
    if (planar) {
        for (int c = 0; c < inChannels; ++c)
            in[c] = f->extended_data[c] + size_t(skip) * size_t(bytesPerSample);
    } else {
        in[0] = f->extended_data[0] + size_t(skip) * size_t(bytesPerSample) * size_t(inChannels);
    }
    const int inFrames = n - skip;
    const int room = swr_get_out_samples(m_swr.get(), inFrames);
    if (room <= 0)
        return;
    const size_t before = out.size();
    out.resize(before + size_t(room) * size_t(m_outChannels));
    uint8_t *dst = reinterpret_cast<uint8_t *>(out.data() + before);
    const int got = swr_convert(m_swr.get(), &dst, room, in, inFrames);
    out.resize(before + size_t(std::max(got, 0)) * size_t(m_outChannels));
    if (m_finished)
        flushResampler(out);
    appended = appended || out.size() > before;
}

bool AudioDecoder::ensureResampler()
{
    const AVFrame *f = m_frame.get();
    const uint64_t mask = f->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? f->ch_layout.u.mask : 0;
    if (m_swr && f->sample_rate == m_swrInRate && f->format == m_swrInFormat &&
        f->ch_layout.nb_channels == m_swrInChannels && mask == m_swrInMask)
        return true;
    if (f->sample_rate <= 0 || f->ch_layout.nb_channels <= 0 || f->ch_layout.nb_channels > AV_NUM_DATA_POINTERS)
        return false;
    AVChannelLayout inLayout{};
    if (av_channel_layout_copy(&inLayout, &f->ch_layout) < 0)
        return false;
    if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, f->ch_layout.nb_channels);
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, m_outChannels);
    SwrContext *raw = nullptr;
    int rc = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, kMixRate, &inLayout, AVSampleFormat(f->format),
                                 f->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    std::unique_ptr<SwrContext, SwrFree> swr(raw);
    if (rc < 0 || !swr || swr_init(swr.get()) < 0) {
        m_swr.reset();
        return false;
    }
    m_swr = std::move(swr);
    m_swrInRate = f->sample_rate;
    m_swrInFormat = f->format;
    m_swrInChannels = f->ch_layout.nb_channels;
    m_swrInMask = mask;
    return true;
}

void AudioDecoder::flushResampler(std::vector<float> &out)
{
    if (!m_swr)
        return;
    const int room = swr_get_out_samples(m_swr.get(), 0);
    if (room <= 0)
        return;
    const size_t before = out.size();
    out.resize(before + size_t(room) * size_t(m_outChannels));
    uint8_t *dst = reinterpret_cast<uint8_t *>(out.data() + before);
    const int got = swr_convert(m_swr.get(), &dst, room, nullptr, 0);
    out.resize(before + size_t(std::max(got, 0)) * size_t(m_outChannels));
}

} // namespace audio

} // namespace corvanel::playback
