#pragma once
// Stopped channels and freed samples end their threads here, off the caller's thread: a decoder
// stuck in a read of a vanished device must never hold up the window. Their flags are set
// before they arrive, so on a healthy disk they are gone within a read.
#include "AudioChannel.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace corvanel::playback {

namespace audio {

class Disposer
{
public:
    void later(std::vector<std::shared_ptr<AudioChannel>> channels, std::shared_ptr<AudioSample> sample = nullptr);
    // Waits until everything handed over is gone, at most `patience`.
    void drain(std::chrono::milliseconds patience);

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    int m_pending = 0;
};

// Lives as long as the process: a disposal thread may still run while statics are destroyed.
Disposer &disposer();

} // namespace audio

} // namespace corvanel::playback
