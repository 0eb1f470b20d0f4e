#include "AudioEncoders.h"
#include "IpodBuilder.h"

#include <lame/lame.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>

namespace mkipod {
namespace {

struct LameClose
{
    void operator()(lame_global_flags *gf) const { lame_close(gf); }
};

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

struct CodecContextFree
{
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameFree
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFree
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct OutputFree
{
    void operator()(AVFormatContext *f) const
    {
        if (f->pb)
            avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

} // namespace

bool encodeMp3(const std::vector<int16_t> &pcm, QByteArray *out, QString *error, Mp3Rate rate)
{
    std::unique_ptr<lame_global_flags, LameClose> gf(lame_init());
    if (!gf) {
        *error = QStringLiteral("LAME could not be initialised");
        return false;
    }
    lame_set_in_samplerate(gf.get(), kSampleRate);
    lame_set_out_samplerate(gf.get(), kSampleRate);
    lame_set_num_channels(gf.get(), 2);
    lame_set_mode(gf.get(), JOINT_STEREO);
    if (rate == Mp3Rate::Constant) {
        lame_set_VBR(gf.get(), vbr_off);
        lame_set_brate(gf.get(), 128);
    } else {
        lame_set_VBR(gf.get(), vbr_default);
        lame_set_VBR_quality(gf.get(), 4);
    }
    lame_set_quality(gf.get(), 7); // fast; the music is simple
    lame_set_bWriteVbrTag(gf.get(), rate == Mp3Rate::VariableWithoutInfo ? 0 : 1);
    if (lame_init_params(gf.get()) < 0) {
        *error = QStringLiteral("LAME rejected the encoder settings");
        return false;
    }

    const int frames = int(pcm.size() / 2);
    constexpr int kChunk = 1152 * 32;
    std::vector<unsigned char> buffer(size_t(kChunk * 5 / 4 + 7200));
    out->clear();
    out->reserve(qsizetype(frames) / 44100 * 16000 + 8192);
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        // LAME's interface takes a non-const pointer but does not write through it.
        const int bytes = lame_encode_buffer_interleaved(gf.get(), const_cast<short *>(pcm.data() + 2 * size_t(done)),
                                                         n, buffer.data(), int(buffer.size()));
        if (bytes < 0) {
            *error = QStringLiteral("LAME encoding failed (%1)").arg(bytes);
            return false;
        }
        out->append(reinterpret_cast<const char *>(buffer.data()), bytes);
    }
    const int tail = lame_encode_flush(gf.get(), buffer.data(), int(buffer.size()));
    if (tail < 0) {
        *error = QStringLiteral("LAME flush failed (%1)").arg(tail);
        return false;
    }
    out->append(reinterpret_cast<const char *>(buffer.data()), tail);

    if (rate == Mp3Rate::VariableWithoutInfo)
        return true;
    // The first frame was reserved for the Info tag (frame count, encoder delay and padding).
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(gf.get(), tag, sizeof tag);
    if (tagSize > 0 && tagSize <= sizeof tag && qsizetype(tagSize) <= out->size())
        std::copy(tag, tag + tagSize, out->data());
    return true;
}

bool encodeAacFile(const std::vector<int16_t> &pcm, const QString &path, const SongTags &tags, QString *error)
{
    // The AAC encoder reports its average quantiser at the info level for every file.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_WARNING);
    });
    const QByteArray file = path.toUtf8();
    AVFormatContext *rawOutput = nullptr;
    int rc = avformat_alloc_output_context2(&rawOutput, nullptr, "ipod", file.constData());
    if (rc < 0 || !rawOutput) {
        *error = QStringLiteral("No MP4 muxer: %1").arg(avError(rc));
        return false;
    }
    std::unique_ptr<AVFormatContext, OutputFree> output(rawOutput);

    const AVCodec *codec = avcodec_find_encoder_by_name("aac");
    if (!codec) {
        *error = QStringLiteral("FFmpeg has no AAC encoder");
        return false;
    }
    AVStream *stream = avformat_new_stream(output.get(), nullptr);
    std::unique_ptr<AVCodecContext, CodecContextFree> ctx(avcodec_alloc_context3(codec));
    if (!stream || !ctx) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx->sample_rate = kSampleRate;
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->bit_rate = 128000;
    ctx->time_base = AVRational{1, kSampleRate};
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // The "fast" coder takes a fraction of the default two-loop search's time; plenty for test music.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "aac_coder", "fast", 0);
    rc = avcodec_open2(ctx.get(), codec, &options);
    av_dict_free(&options);
    if (rc < 0) {
        *error = QStringLiteral("Cannot open the AAC encoder: %1").arg(avError(rc));
        return false;
    }
    if ((rc = avcodec_parameters_from_context(stream->codecpar, ctx.get())) < 0) {
        *error = QStringLiteral("Cannot set up the AAC stream: %1").arg(avError(rc));
        return false;
    }
    stream->time_base = ctx->time_base;
    // The muxer writes these as iTunes metadata atoms (©nam, ©ART, ©alb, ©gen, trkn).
    const std::pair<const char *, QString> metadata[] = {
        {"title", tags.title}, {"artist", tags.artist},    {"album", tags.album},
        {"genre", tags.genre}, {"track", trackText(tags)},
    };
    for (const auto &[key, value] : metadata) {
        const QByteArray text = QString(value).remove(QChar(0)).toUtf8();
        if (text.isEmpty())
            continue;
        if ((rc = av_dict_set(&output->metadata, key, text.constData(), 0)) < 0) {
            *error = QStringLiteral("Cannot set the %1 of %2: %3").arg(QLatin1String(key), path, avError(rc));
            return false;
        }
    }
    if ((rc = avio_open(&output->pb, file.constData(), AVIO_FLAG_WRITE)) < 0) {
        *error = QStringLiteral("Cannot create %1: %2").arg(path, avError(rc));
        return false;
    }
    if ((rc = avformat_write_header(output.get(), nullptr)) < 0) {
        *error = QStringLiteral("Cannot write the MP4 header of %1: %2").arg(path, avError(rc));
        return false;
    }

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!packet || !frame) {
        *error = QStringLiteral("Out of memory");
        return false;
    }
    auto drain = [&]() -> int {
        for (;;) {
            int r = avcodec_receive_packet(ctx.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return 0;
            if (r < 0)
                return r;
            av_packet_rescale_ts(packet.get(), ctx->time_base, stream->time_base);
            packet->stream_index = stream->index;
            r = av_interleaved_write_frame(output.get(), packet.get());
            if (r < 0)
                return r;
        }
    };

    const int frames = int(pcm.size() / 2);
    const int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    for (int done = 0; done < frames; done += frameSize) {
        const int n = std::min(frameSize, frames - done);
        av_frame_unref(frame.get());
        frame->nb_samples = n;
        frame->format = ctx->sample_fmt;
        frame->sample_rate = kSampleRate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        if ((rc = av_frame_get_buffer(frame.get(), 0)) < 0) {
            *error = QStringLiteral("Out of memory: %1").arg(avError(rc));
            return false;
        }
        auto *left = reinterpret_cast<float *>(frame->data[0]);
        auto *right = reinterpret_cast<float *>(frame->data[1]);
        for (int i = 0; i < n; ++i) {
            left[i] = float(pcm[2 * size_t(done + i)]) / 32768.0f;
            right[i] = float(pcm[2 * size_t(done + i) + 1]) / 32768.0f;
        }
        frame->pts = done;
        if ((rc = avcodec_send_frame(ctx.get(), frame.get())) < 0 || (rc = drain()) < 0) {
            *error = QStringLiteral("AAC encoding failed: %1").arg(avError(rc));
            return false;
        }
    }
    if ((rc = avcodec_send_frame(ctx.get(), nullptr)) < 0 || (rc = drain()) < 0) {
        *error = QStringLiteral("AAC encoding failed: %1").arg(avError(rc));
        return false;
    }
    if ((rc = av_write_trailer(output.get())) < 0) {
        *error = QStringLiteral("Cannot finish %1: %2").arg(path, avError(rc));
        return false;
    }
    return true;
}

} // namespace mkipod
