#include "AudioChannel.h"

#include <algorithm>
#include <cstring>

namespace corvanel::playback {

namespace audio {

namespace {
// About 1.5 s of sound decoded ahead: enough to ride over a slow disk, small whatever the song.
constexpr int kRingFrames = 65536;
// The decode thread decodes again only when this much room is free, so it works in bursts.
constexpr int kLowWater = 8192;
} // namespace

std::expected<std::shared_ptr<AudioSample>, int> AudioSample::load(const std::string &path)
{
    std::shared_ptr<AudioSample> s = unopened(path);
    if (const int code = s->open(); code != 0)
        return std::unexpected(code);
    return s;
}

std::shared_ptr<AudioSample> AudioSample::unopened(const std::string &path)
{
    std::shared_ptr<AudioSample> s(new AudioSample);
    s->m_path = path;
    return s;
}

int AudioSample::open(const std::atomic<bool> *abort)
{
    auto decoder = AudioDecoder::open(m_path, abort ? abort : &m_abort);
    if (!decoder)
        return decoder.error();
    m_channels.store((*decoder)->channels(), std::memory_order_release);
    m_sourceRate.store((*decoder)->sourceRate(), std::memory_order_release);
    {
        std::lock_guard lock(m_mutex);
        m_estimate = (*decoder)->estimatedFrames();
        m_primed = std::move(*decoder);
    }
    m_scanThread = std::thread([this] {
        ScanResult result = AudioDecoder::scan(m_path, &m_abort);
        {
            std::lock_guard lock(m_mutex);
            m_scan = std::move(result);
        }
        m_scanned.store(true, std::memory_order_release);
        m_scanDone.notify_all();
    });
    return 0;
}

AudioSample::~AudioSample()
{
    abort();
    if (m_scanThread.joinable())
        m_scanThread.join();
}

void AudioSample::abort()
{
    m_abort.store(true);
    m_scanDone.notify_all();
}

int64_t AudioSample::length(std::chrono::milliseconds patience)
{
    std::unique_lock lock(m_mutex);
    m_scanDone.wait_for(lock, patience, [this] { return scanned(); });
    if (scanned() && m_scan.ok)
        return m_scan.frames;
    return m_estimate;
}

const ScanResult *AudioSample::waitScan(const std::atomic<bool> &stop)
{
    std::unique_lock lock(m_mutex);
    while (!scanned()) {
        if (stop.load())
            return nullptr;
        m_scanDone.wait_for(lock, std::chrono::milliseconds(20));
    }
    return &m_scan;
}

std::expected<std::unique_ptr<AudioDecoder>, int> AudioSample::takeDecoder(const std::atomic<bool> *abort)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_primed) {
            m_primed->setAbort(abort);
            return std::move(m_primed);
        }
    }
    return AudioDecoder::open(m_path, abort);
}

AudioChannel::AudioChannel(std::shared_ptr<AudioSample> sample, std::unique_ptr<AudioDecoder> decoder, int volume)
    : m_sample(std::move(sample)), m_decoder(std::move(decoder)), m_channels(m_sample->channels()),
      m_sourceRate(m_sample->sourceRate()), m_capacity(kRingFrames), m_volume(volume),
      m_ring(size_t(kRingFrames) * size_t(m_channels.load()))
{
    m_decoder->setAbort(&m_stop);
    m_thread = std::thread([this] { run(); });
}

AudioChannel::AudioChannel(std::shared_ptr<AudioSample> unopened, int volume)
    : m_sample(std::move(unopened)), m_channels(2), m_sourceRate(kMixRate), m_capacity(kRingFrames), m_volume(volume),
      m_ring(size_t(kRingFrames) * 2) // room for stereo: the file decides
{
    m_thread = std::thread([this] { run(); });
}

void AudioChannel::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop.store(true);
    }
    m_spaceReady.notify_all();
    m_dataReady.notify_all();
}

AudioChannel::~AudioChannel()
{
    abort();
    if (m_thread.joinable())
        m_thread.join();
}

bool AudioChannel::ready() const
{
    std::lock_guard lock(m_mutex);
    return !ended() && (m_count > 0 || m_decoderDone);
}

int64_t AudioChannel::position() const
{
    std::lock_guard lock(m_mutex);
    if (m_sourceRate == kMixRate)
        return m_base + m_consumed;
    return m_base + (m_consumed * m_sourceRate + kMixRate / 2) / kMixRate;
}

void AudioChannel::seek(int64_t frame)
{
    {
        std::lock_guard lock(m_mutex);
        m_read = 0;
        m_count = 0;
        m_base = std::max<int64_t>(0, frame);
        m_consumed = 0;
        ++m_generation;
        m_seekPending = true;
        m_seekTarget = m_base;
        m_decoderDone = false;
    }
    m_spaceReady.notify_all();
}

int AudioChannel::pull(float *dst, int frames)
{
    int n = 0;
    {
        std::lock_guard lock(m_mutex);
        n = std::min(frames, m_count);
        const int first = std::min(n, m_capacity - m_read);
        const size_t c = size_t(channels());
        std::memcpy(dst, m_ring.data() + size_t(m_read) * c, size_t(first) * c * sizeof(float));
        if (n > first)
            std::memcpy(dst + size_t(first) * c, m_ring.data(), size_t(n - first) * c * sizeof(float));
        m_read = (m_read + n) % m_capacity;
        m_count -= n;
        m_consumed += n;
        if (m_count == 0 && m_decoderDone && !m_seekPending)
            m_ended.store(true, std::memory_order_release);
    }
    if (n > 0)
        m_spaceReady.notify_one();
    return n;
}

void AudioChannel::waitForData(int frames, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_dataReady.wait_for(lock, timeout, [&] {
        return m_stop.load() || m_count >= std::min(frames, m_capacity) || (m_decoderDone && !m_seekPending);
    });
}

int AudioChannel::pushLocked(const std::vector<float> &chunk, size_t offset)
{
    const size_t c = size_t(channels());
    const int available = int((chunk.size() - offset) / c);
    const int n = std::min(available, freeFramesLocked());
    int write = (m_read + m_count) % m_capacity;
    const int first = std::min(n, m_capacity - write);
    std::memcpy(m_ring.data() + size_t(write) * c, chunk.data() + offset, size_t(first) * c * sizeof(float));
    if (n > first)
        std::memcpy(m_ring.data(), chunk.data() + offset + size_t(first) * c, size_t(n - first) * c * sizeof(float));
    m_count += n;
    return n;
}

bool AudioChannel::reposition(int64_t frame)
{
    if (m_sample->scanned())
        m_decoder->setLimit(m_sample->length(std::chrono::milliseconds(0)));
    if (!AudioDecoder::needsReopen(frame)) {
        const ScanResult *index = m_decoder->wantsSeekIndex() ? m_sample->waitScan(m_stop) : nullptr;
        if (m_stop.load())
            return false;
        if (m_decoder->seek(frame, index))
            return true;
    }
    // Near the start (or where the container cannot seek) a fresh decoder gives exact frames.
    auto fresh = AudioDecoder::open(m_sample->path(), &m_stop);
    if (!fresh)
        return false;
    m_decoder = std::move(*fresh);
    if (m_sample->scanned())
        m_decoder->setLimit(m_sample->length(std::chrono::milliseconds(0)));
    m_decoder->skipTo(frame);
    return true;
}

bool AudioChannel::openSample()
{
    if (m_sample->open(&m_stop) != 0 || m_stop.load())
        return false;
    auto decoder = m_sample->takeDecoder(&m_stop);
    if (!decoder)
        return false;
    m_decoder = std::move(*decoder);
    std::lock_guard lock(m_mutex);
    m_sourceRate = m_decoder->sourceRate();
    m_channels.store(m_decoder->channels(), std::memory_order_release);
    return true;
}

void AudioChannel::run()
{
    if (!m_decoder && !openSample()) {
        // Nothing to play: the channel is over before it began.
        std::lock_guard lock(m_mutex);
        m_decoderDone = true;
        m_ended.store(true, std::memory_order_release);
        m_dataReady.notify_all();
        return;
    }
    decodeLoop();
}

void AudioChannel::decodeLoop()
{
    const int channelCount = channels();
    std::vector<float> chunk;
    chunk.reserve(size_t(kLowWater) * size_t(channelCount));
    size_t offset = 0;
    uint64_t chunkGeneration = 0;
    bool endAfterChunk = false;
    bool limitSet = false;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (chunkGeneration != m_generation) {
            chunk.clear();
            offset = 0;
            endAfterChunk = false;
            chunkGeneration = m_generation;
        }
        if (offset < chunk.size()) {
            offset += size_t(pushLocked(chunk, offset)) * size_t(channelCount);
            m_dataReady.notify_all();
        }
        const bool pending = offset < chunk.size();
        if (endAfterChunk && !pending) {
            // The end is reported once the ring holds everything decoded before it.
            m_decoderDone = true;
            endAfterChunk = false;
            m_dataReady.notify_all();
        }
        m_spaceReady.wait(lock, [&] {
            return m_stop.load() || m_seekPending ||
                   (pending ? freeFramesLocked() > 0 : !m_decoderDone && freeFramesLocked() >= kLowWater);
        });
        if (m_stop.load())
            return;
        if (m_seekPending) {
            const int64_t target = m_seekTarget;
            const uint64_t generation = m_generation;
            m_seekPending = false;
            lock.unlock();
            const bool ok = reposition(target);
            lock.lock();
            if (generation == m_generation && !ok) {
                m_decoderDone = true;
                m_dataReady.notify_all();
            }
            continue;
        }
        if (pending)
            continue;

        const uint64_t generation = m_generation;
        lock.unlock();
        if (!limitSet && m_sample->scanned()) {
            // With the exact length known, padding that the decoder cannot trim after a seek is cut.
            m_decoder->setLimit(m_sample->length(std::chrono::milliseconds(0)));
            limitSet = true;
        }
        chunk.clear();
        offset = 0;
        AudioDecoder::Result result = AudioDecoder::Result::Frames;
        while (result == AudioDecoder::Result::Frames && chunk.size() < size_t(kLowWater / 2) * size_t(channelCount))
            result = m_decoder->decode(chunk);
        lock.lock();
        chunkGeneration = generation;
        endAfterChunk = result != AudioDecoder::Result::Frames;
    }
}

} // namespace audio

} // namespace corvanel::playback
