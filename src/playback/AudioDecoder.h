#pragma once
// One opened audio file: FFmpeg demuxing and decoding, resampled to the mixer's rate.
#include <atomic>
#include <cstdint>
#include <expected>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace corvanel::playback {

namespace audio {

class AudioSource;

// The song's length in samples from an iTunSMPB text (iTunes' gapless information), or -1.
int64_t itunesSampleCount(const char *smpb);

// The mixer's rate; every decoder delivers frames at this rate.
inline constexpr int kMixRate = 44100;

// A packet start the decoder can jump to by byte offset, and the index of the first frame it decodes to.
struct SeekPoint
{
    int64_t pos = 0;
    int64_t frame = 0;
};

// The result of the demux-only pass over a whole file.
struct ScanResult
{
    bool ok = false;
    int64_t frames = 0;            // exactly the frames a full decode yields, in the source's rate
    std::vector<SeekPoint> points; // only for formats whose timestamps are estimates (MP3)
};

struct FormatContextClose
{
    void operator()(AVFormatContext *f) const;
};
struct CodecContextFree
{
    void operator()(AVCodecContext *c) const;
};
struct FrameFree
{
    void operator()(AVFrame *f) const;
};
struct PacketFree
{
    void operator()(AVPacket *p) const;
};
struct SwrFree
{
    void operator()(SwrContext *s) const;
};

class AudioDecoder
{
public:
    enum class Result { Frames, End, Failed };

    // Opens the file and decodes its first frame. Fails with an engine error code: 9 (no such
    // file), 10 (not a sound), 11 (unreadable, or no audio in it), 18 (a sound this engine cannot
    // decode: protected, a codec FFmpeg lacks, or packets at its start that do not decode).
    static std::expected<std::unique_ptr<AudioDecoder>, int> open(const std::string &path,
                                                                  const std::atomic<bool> *abort = nullptr);
    // Counts the frames of the whole file from packet durations, without decoding.
    static ScanResult scan(const std::string &path, const std::atomic<bool> *abort = nullptr);

    ~AudioDecoder();
    // How many decoders exist in the process; each holds an open file and a codec.
    static int openCount();
    // The flag that ends every read of this decoder; a decoder handed to a new owner takes the
    // owner's flag.
    void setAbort(const std::atomic<bool> *abort);
    AudioDecoder(const AudioDecoder &) = delete;
    AudioDecoder &operator=(const AudioDecoder &) = delete;

    int sourceRate() const { return m_sourceRate; }
    // 1 for mono sources, else 2 (more channels are mixed down to stereo).
    int channels() const { return m_outChannels; }
    // The container's idea of the length, in source frames; only a guess for VBR MP3.
    int64_t estimatedFrames() const { return m_estimatedFrames; }
    // True when seeking needs the byte index of scan().
    bool wantsSeekIndex() const { return m_byteSeek; }

    // Frames at or beyond this source frame are never delivered (the exact length, once known).
    void setLimit(int64_t frames) { m_limit = frames; }

    // Appends interleaved float frames at kMixRate (channels() per frame). Frames: something was
    // appended; End: the stream is over; Failed: reading broke (a vanished file), nothing more comes.
    Result decode(std::vector<float> &out);

    // Prepares the next decode() to deliver source frame `frame` first. Returns false when the
    // decoder cannot position itself; a decoder asked for a frame near the start must be reopened
    // instead (needsReopen()).
    bool seek(int64_t frame, const ScanResult *index);
    static bool needsReopen(int64_t frame);
    // Drops every frame before `frame` (used on a freshly opened decoder).
    void skipTo(int64_t frame);

private:
    AudioDecoder();
    enum class Mode { Sequential, Tagged, Timestamped };

    Result readFrame(std::vector<float> &out, bool &appended);
    void deliverFrame(std::vector<float> &out, bool &appended);
    bool ensureResampler();
    void flushResampler(std::vector<float> &out);

    std::unique_ptr<AudioSource> m_source; // declared first: the container reads through it to the end
    std::unique_ptr<AVFormatContext, FormatContextClose> m_format;
    std::unique_ptr<AVCodecContext, CodecContextFree> m_codec;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    std::unique_ptr<SwrContext, SwrFree> m_swr;
    int m_stream = -1;
    int m_sourceRate = 0;
    int m_outChannels = 2;
    int64_t m_estimatedFrames = 0;
    bool m_byteSeek = false;

    // The resampler's current input format, to rebuild it when a stream changes mid-way.
    int m_swrInRate = 0;
    int m_swrInFormat = -1;
    int m_swrInChannels = 0;
    uint64_t m_swrInMask = 0;

    Mode m_mode = Mode::Sequential;
    int64_t m_originPts = 0; // timestamp of frame 0 (the encoder delay already removed)
    bool m_originKnown = false;
    int64_t m_nextFrame = 0; // index of the next decoded frame when timestamps say nothing
    int64_t m_tagNext = 0;   // index given to the next packet read after a byte seek
    int64_t m_dropUntil = 0;
    int64_t m_limit = -1;
    bool m_draining = false;
    bool m_finished = false;
    int m_errors = 0;
    int m_rejected = 0;         // packets and frames the decoder refused since the file was opened
    std::vector<float> m_first; // the frame decoded by open(), delivered by the first decode()
};

} // namespace audio

} // namespace corvanel::playback
