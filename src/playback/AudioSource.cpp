#include "AudioSource.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace corvanel::playback {

namespace audio {

namespace {

constexpr int kBufferBytes = 64 * 1024;
// How long one wait for bytes lasts before the abort flag is looked at again.
constexpr int kPollMilliseconds = 20;

std::atomic<int64_t> g_rateLimit{0};
// A reader whose pace fell behind by more than this paused on its own (the decoder waits for
// room in its ring): it starts afresh instead of reading a burst at full speed.
constexpr auto kPaceSlack = std::chrono::milliseconds(kPollMilliseconds);

} // namespace

void setReadRateLimit(int64_t bytesPerSecond)
{
    g_rateLimit.store(std::max<int64_t>(0, bytesPerSecond), std::memory_order_relaxed);
}

std::expected<std::unique_ptr<AudioSource>, int> AudioSource::open(const std::string &path,
                                                                   const std::atomic<bool> *abort)
{
    std::unique_ptr<AudioSource> source(new AudioSource);
    source->setAbort(abort);
    // Non-blocking, so that opening a pipe never waits for its writer and reading it never
    // waits without a look at the flag. Regular files ignore the flag.
    source->m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (source->m_fd < 0)
        return std::unexpected(errno == ENOENT || errno == ENOTDIR ? 9 : 11);
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBufferBytes));
    if (!buffer)
        return std::unexpected(12);
    source->m_io = avio_alloc_context(buffer, kBufferBytes, 0, source.get(), &AudioSource::readPacket, nullptr,
                                      &AudioSource::seekTo);
    if (!source->m_io) {
        av_free(buffer);
        return std::unexpected(12);
    }
    if (::lseek(source->m_fd, 0, SEEK_CUR) < 0)
        source->m_io->seekable = 0;
    return source;
}

AudioSource::~AudioSource()
{
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

bool AudioSource::aborted() const
{
    const std::atomic<bool> *flag = m_abort.load(std::memory_order_acquire);
    return flag && flag->load(std::memory_order_relaxed);
}

int AudioSource::readPacket(void *opaque, uint8_t *buffer, int size)
{
    auto *self = static_cast<AudioSource *>(opaque);
    const int64_t limit = g_rateLimit.load(std::memory_order_relaxed);
    if (limit > 0)
        size = int(std::clamp<int64_t>(limit / 1000, 512, size)); // about 1 ms of reading a call
    for (;;) {
        if (self->aborted())
            return AVERROR_EXIT;
        const ssize_t n = ::read(self->m_fd, buffer, size_t(size));
        if (n > 0) {
            self->pace(n);
            return int(n);
        }
        if (n == 0)
            return AVERROR_EOF;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return AVERROR(errno);
        pollfd wait{self->m_fd, POLLIN, 0};
        ::poll(&wait, 1, kPollMilliseconds);
    }
}

void AudioSource::pace(int64_t bytes)
{
    // The reads of one source are held to the rate counted from a deadline, not slept one by
    // one: the sleeps' own lateness then does not add up over the many small reads of a song's
    // start, and a slow device costs what its rate says.
    const int64_t limit = g_rateLimit.load(std::memory_order_relaxed);
    if (limit <= 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_paceDeadline < now - kPaceSlack)
        m_paceDeadline = now;
    m_paceDeadline += std::chrono::microseconds(bytes * 1000000 / limit);
    for (auto left = m_paceDeadline - now; left.count() > 0 && !aborted();
         left = m_paceDeadline - std::chrono::steady_clock::now())
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kPaceSlack));
}

int64_t AudioSource::seekTo(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<AudioSource *>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat info
        {
        };
        if (::fstat(self->m_fd, &info) != 0 || !S_ISREG(info.st_mode))
            return AVERROR(ENOSYS);
        return info.st_size;
    }
    const off_t to = ::lseek(self->m_fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return to < 0 ? AVERROR(errno) : int64_t(to);
}

} // namespace audio

} // namespace corvanel::playback
