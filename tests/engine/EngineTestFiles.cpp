#include "EngineTestFiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>

namespace enginetest {

Decoded decodeWhole(const QString &path)
{
    Decoded result;
    AVFormatContext *fmt = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (avformat_open_input(&fmt, name.constData(), nullptr, nullptr) < 0)
        return result;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> format(
        fmt, [](AVFormatContext *f) { avformat_close_input(&f); });
    if (avformat_find_stream_info(fmt, nullptr) < 0)
        return result;
    const AVCodec *codec = nullptr;
    const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0)
        return result;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> ctx(
        avcodec_alloc_context3(codec), [](AVCodecContext *c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(ctx.get(), fmt->streams[stream]->codecpar);
    ctx->pkt_timebase = fmt->streams[stream]->time_base;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return result;
    result.channels = ctx->ch_layout.nb_channels;
    result.rate = ctx->sample_rate;
    if (fmt->duration > 0)
        result.headerFrames = av_rescale(fmt->duration, result.rate, AV_TIME_BASE);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    auto drain = [&] {
        while (avcodec_receive_frame(ctx.get(), frame) == 0) {
            const auto sampleFormat = AVSampleFormat(frame->format);
            const bool planar = av_sample_fmt_is_planar(sampleFormat);
            const bool isFloat = av_get_packed_sample_fmt(sampleFormat) == AV_SAMPLE_FMT_FLT;
            if (!isFloat && av_get_packed_sample_fmt(sampleFormat) != AV_SAMPLE_FMT_S16)
                result.channels = 0; // a format this reader does not know: no samples at all
            for (int i = 0; i < frame->nb_samples; ++i)
                for (int c = 0; c < result.channels; ++c) {
                    const uint8_t *data = frame->extended_data[planar ? c : 0];
                    const int at = planar ? i : i * result.channels + c;
                    result.samples.push_back(isFloat ? reinterpret_cast<const float *>(data)[at]
                                                     : reinterpret_cast<const int16_t *>(data)[at] / 32768.0f);
                }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == stream)
            avcodec_send_packet(ctx.get(), pkt);
        av_packet_unref(pkt);
        drain();
    }
    avcodec_send_packet(ctx.get(), nullptr);
    drain();
    av_packet_free(&pkt);
    av_frame_free(&frame);
    return result;
}

} // namespace enginetest
