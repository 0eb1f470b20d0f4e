#pragma once
// The bytes of one song file as FFmpeg reads them. Reads never wait without looking at an abort
// flag: a pipe that has nothing to give, or a device that answers slowly, is polled in short
// steps, and a set flag ends the read at once. Freeing a sample or closing the engine sets the
// flag, so a song on an iPod that was pulled out never holds up the caller.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <string>

struct AVIOContext;

namespace corvanel::playback {

namespace audio {

class AudioSource
{
public:
    // Opens the file for reading. Fails with 9 (no such file) or 11 (not readable).
    static std::expected<std::unique_ptr<AudioSource>, int> open(const std::string &path,
                                                                 const std::atomic<bool> *abort);
    ~AudioSource();
    AudioSource(const AudioSource &) = delete;
    AudioSource &operator=(const AudioSource &) = delete;

    AVIOContext *io() const { return m_io; }
    // The flag that ends every read and wait; may be changed while another thread reads.
    void setAbort(const std::atomic<bool> *abort) { m_abort.store(abort, std::memory_order_release); }
    bool aborted() const;

private:
    AudioSource() = default;
    static int readPacket(void *opaque, uint8_t *buffer, int size);
    // Holds a read of `bytes` back to the rate limit, if one is set.
    void pace(int64_t bytes);
    static int64_t seekTo(void *opaque, int64_t offset, int whence);

    int m_fd = -1;
    AVIOContext *m_io = nullptr;
    std::atomic<const std::atomic<bool> *> m_abort{nullptr};
    std::chrono::steady_clock::time_point m_paceDeadline; // used by the one thread that reads
};

// Slows every read of every source to about this many bytes a second (0: no limit). Used to
// measure the player against a slow device, such as an iPod on USB 1.1.
void setReadRateLimit(int64_t bytesPerSecond);

} // namespace audio

} // namespace corvanel::playback
