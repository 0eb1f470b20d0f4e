// The mixer: every running channel into one stereo block, in the output device's callback or
// offline; a channel that ends mid-block goes on with the sound queued after it.
#include "AudioEngine.h"

#include <algorithm>

namespace corvanel::playback {

namespace audio {

int Engine::offlineRender(float *out, int frames)
{
    if (!initialised())
        return 0;
    if (!m_offline || !out || frames < 0)
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    int done = 0;
    while (done < frames) {
        const int n = std::min(kBlockFrames, frames - done);
        std::vector<std::shared_ptr<AudioChannel>> running;
        {
            std::lock_guard lock(m_mixLock);
            for (Slot &slot : m_slots) {
                if (slot.channel && !slot.channel->paused()) {
                    running.push_back(slot.channel);
                    if (slot.next) // it may take over within this block
                        running.push_back(slot.next);
                }
            }
        }
        for (auto &c : running)
            if (!c->ended())
                c->waitForData(n, kOfflineWait);
        std::lock_guard lock(m_mixLock);
        mixLocked(out + size_t(done) * 2, n);
        done += n;
    }
    return done;
}

void Engine::audioCallback(void *userdata, Uint8 *stream, int len) noexcept
{
    auto *self = static_cast<Engine *>(userdata);
    auto *out = reinterpret_cast<float *>(stream);
    const int frames = len / int(2 * sizeof(float));
    std::lock_guard lock(self->m_mixLock);
    for (int done = 0; done < frames;) {
        const int n = std::min(kBlockFrames, frames - done);
        self->mixLocked(out + size_t(done) * 2, n);
        done += n;
    }
}

void Engine::mixLocked(float *out, int frames)
{
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    for (int i = 0; i < m_channelCount; ++i)
        mixSlotLocked(m_slots[size_t(i)], out, frames);
    for (int k = 0; k < 2 * frames; ++k)
        out[k] = std::clamp(out[k], -1.0f, 1.0f);
    if (m_fftActive) {
        for (int f = 0; f < frames; ++f) {
            m_history[size_t(m_historyPos)] = 0.5f * (out[2 * f] + out[2 * f + 1]);
            m_historyPos = (m_historyPos + 1) % kSpectrumSize;
        }
    }
}

void Engine::mixSlotLocked(Slot &slot, float *out, int frames)
{
    int done = 0;
    while (slot.channel && !slot.channel->paused()) {
        AudioChannel &c = *slot.channel;
        if (!c.ended()) {
            done += mixChannelLocked(c, out + size_t(done) * 2, frames - done);
            if (done >= frames || !c.ended())
                return;
        }
        // The last frame of this sound is mixed: the queued one follows from the next frame on.
        if (!handOverLocked(slot))
            return;
    }
}

bool Engine::handOverLocked(Slot &slot)
{
    if (!slot.next || !slot.next->ready())
        return false;
    slot.next->setVolume(slot.channel->volume());
    // The equaliser goes on with its settings and its filter's state: no click at the joint.
    slot.next->effects = std::move(slot.channel->effects);
    m_retired.push_back(std::move(slot.channel));
    slot.channel = std::move(slot.next);
    return true;
}

int Engine::mixChannelLocked(AudioChannel &c, float *out, int frames)
{
    const int channels = c.channels();
    const int n = c.pull(m_channelBuffer.data(), frames);
    if (n <= 0)
        return 0;
    for (ChannelEffect &e : c.effects)
        e.filter.process(m_channelBuffer.data(), n, channels);
    const float gain = float(c.volume()) / 255.0f;
    const float *src = m_channelBuffer.data();
    if (channels == 1) {
        for (int f = 0; f < n; ++f) {
            out[2 * f] += src[f] * gain;
            out[2 * f + 1] += src[f] * gain;
        }
    } else {
        for (int k = 0; k < 2 * n; ++k)
            out[k] += src[k] * gain;
    }
    return n;
}

} // namespace audio

} // namespace corvanel::playback
