#include "AudioDisposer.h"

#include <thread>

namespace corvanel::playback {

namespace audio {

void Disposer::later(std::vector<std::shared_ptr<AudioChannel>> channels, std::shared_ptr<AudioSample> sample)
{
    for (auto &c : channels)
        c->abort();
    if (sample)
        sample->abort();
    if (channels.empty() && !sample)
        return;
    {
        std::lock_guard lock(m_mutex);
        ++m_pending;
    }
    std::thread([this, channels = std::move(channels), sample = std::move(sample)]() mutable {
        channels.clear();
        sample.reset();
        std::lock_guard lock(m_mutex);
        --m_pending;
        m_done.notify_all();
    }).detach();
}

void Disposer::drain(std::chrono::milliseconds patience)
{
    std::unique_lock lock(m_mutex);
    m_done.wait_for(lock, patience, [this] { return m_pending == 0; });
}

Disposer &disposer()
{
    static auto *instance = new Disposer;
    return *instance;
}

} // namespace audio

} // namespace corvanel::playback
