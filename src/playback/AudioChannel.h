#pragma once
// A loaded sound (AudioSample) and one playback of it (AudioChannel): a decode thread keeps a
// bounded ring filled ahead of the mixer, so memory stays the same whatever the song's length.
#include "AudioDecoder.h"
#include "AudioEqualizer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <expected>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvanel::playback {

namespace audio {

class AudioSample
{
public:
    // Opens the file and decodes its first frame; counts its exact length in the background.
    static std::expected<std::shared_ptr<AudioSample>, int> load(const std::string &path);
    // A sample of this file that open() has yet to open (on another thread).
    static std::shared_ptr<AudioSample> unopened(const std::string &path);
    // What load() does after creating the sample: 0, or the engine's error code. `abort`, when
    // given, ends the opening instead of the sample's own flag.
    int open(const std::atomic<bool> *abort = nullptr);
    ~AudioSample();
    AudioSample(const AudioSample &) = delete;
    AudioSample &operator=(const AudioSample &) = delete;

    const std::string &path() const { return m_path; }
    // Ends the opening, the counting pass and every read of the decoder kept for the first playback.
    void abort();
    // 0 until the file is open.
    int sourceRate() const { return m_sourceRate.load(std::memory_order_acquire); }
    int channels() const { return m_channels.load(std::memory_order_acquire); }

    // The exact length in source frames once the counting pass is done; waits for it at most
    // `patience`, then answers with the container's estimate.
    int64_t length(std::chrono::milliseconds patience);
    bool scanned() const { return m_scanned.load(std::memory_order_acquire); }
    // Waits for the counting pass (or for `stop`) and returns it; null when stopped.
    const ScanResult *waitScan(const std::atomic<bool> &stop);

    // The decoder opened by load() for the first playback, a new one for later ones.
    std::expected<std::unique_ptr<AudioDecoder>, int> takeDecoder(const std::atomic<bool> *abort);

private:
    AudioSample() = default;

    std::string m_path;
    std::atomic<int> m_sourceRate{0};
    std::atomic<int> m_channels{2};
    int64_t m_estimate = 0; // guarded by m_mutex
    std::unique_ptr<AudioDecoder> m_primed;
    std::mutex m_mutex;
    std::condition_variable m_scanDone;
    ScanResult m_scan;
    std::atomic<bool> m_scanned{false};
    std::atomic<bool> m_abort{false};
    std::thread m_scanThread;
};

struct ChannelEffect
{
    int id = 0;
    PeakingFilter filter;
};

class AudioChannel
{
public:
    AudioChannel(std::shared_ptr<AudioSample> sample, std::unique_ptr<AudioDecoder> decoder, int volume);
    // A playback that opens its unopened sample on its own thread first; it is ready() once the
    // file is open and the first frames are decoded, and ended() when the file does not open.
    AudioChannel(std::shared_ptr<AudioSample> unopened, int volume);
    ~AudioChannel();
    AudioChannel(const AudioChannel &) = delete;
    AudioChannel &operator=(const AudioChannel &) = delete;

    const std::shared_ptr<AudioSample> &sample() const { return m_sample; }
    // The engine's handle of the sample (0 when the engine did not say).
    int sampleHandle() const { return m_sampleHandle; }
    void setSampleHandle(int handle) { m_sampleHandle = handle; }
    // Ends decoding: a read that waits gives up, and the channel plays nothing more.
    void abort();
    int channels() const { return m_channels.load(std::memory_order_acquire); }
    // Frames are waiting in the ring, or the sound is over: the mixer can start it without a gap.
    bool ready() const;

    void setPaused(bool paused) { m_paused.store(paused, std::memory_order_relaxed); }
    bool paused() const { return m_paused.load(std::memory_order_relaxed); }
    void setVolume(int volume) { m_volume.store(volume, std::memory_order_relaxed); }
    int volume() const { return m_volume.load(std::memory_order_relaxed); }
    // True once every frame has been played, or the file broke.
    bool ended() const { return m_ended.load(std::memory_order_acquire); }

    // The source frame to be played next, counted from the frames the mixer took.
    int64_t position() const;
    void seek(int64_t frame);

    // Mixer side: takes up to `frames` frames (channels() floats each). Returns the count taken.
    int pull(float *dst, int frames);
    // Offline rendering: waits until `frames` frames are ready, or the sound is over.
    void waitForData(int frames, std::chrono::milliseconds timeout);

    // Effects, guarded by the mixer's lock.
    std::vector<ChannelEffect> effects;

private:
    void run();
    void decodeLoop();
    bool openSample();
    bool reposition(int64_t frame);
    int pushLocked(const std::vector<float> &chunk, size_t offset);
    int freeFramesLocked() const { return m_capacity - m_count; }

    std::shared_ptr<AudioSample> m_sample;
    std::unique_ptr<AudioDecoder> m_decoder; // used by the decode thread only
    int m_sampleHandle = 0;
    // Set before the first frame reaches the ring (by the opening for a channel that opens its sample).
    std::atomic<int> m_channels;
    int m_sourceRate; // guarded by m_mutex
    const int m_capacity;

    std::atomic<bool> m_paused{false};
    std::atomic<int> m_volume{255};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_stop{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_spaceReady; // the decode thread waits for room or a command
    std::condition_variable m_dataReady;  // offline rendering waits for frames
    std::vector<float> m_ring;
    int m_read = 0;
    int m_count = 0;           // frames in the ring
    int64_t m_base = 0;        // source frame of the last seek (or 0)
    int64_t m_consumed = 0;    // mixer frames taken since then
    uint64_t m_generation = 0; // bumped by every seek; decoded data of an older one is dropped
    bool m_seekPending = false;
    int64_t m_seekTarget = 0;
    bool m_decoderDone = false; // the decoder has nothing more for this generation
    std::thread m_thread;
};

} // namespace audio

} // namespace corvanel::playback
