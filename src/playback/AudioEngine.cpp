#include "AudioEngine.h"

#include "AudioDisposer.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cmath>
#include <thread>

namespace corvanel::playback {

namespace audio {

bool Engine::fail(int code)
{
    lastError.store(code);
    return false;
}

bool Engine::setOutput(int output)
{
    std::lock_guard api(m_api);
    if (m_initialised)
        return fail(FMOD_ERR_BUSY);
    if (output != FSOUND_OUTPUT_DEVICE && output != FSOUND_OUTPUT_NOSOUND_NONREALTIME)
        return fail(FMOD_ERR_INVALID_PARAM);
    m_offline = output == FSOUND_OUTPUT_NOSOUND_NONREALTIME;
    return true;
}

bool Engine::init(int maxChannels)
{
    std::lock_guard api(m_api);
    if (m_initialised)
        return true;
    if (maxChannels <= 0)
        return fail(FMOD_ERR_INVALID_PARAM);
    // Decoding errors are reported as values; FFmpeg's own chatter about broken files is noise.
    if (av_log_get_level() == AV_LOG_INFO)
        av_log_set_level(AV_LOG_FATAL);
    // A song file names the sizes FFmpeg allocates for its tags and tables; a crafted one would
    // have it take gigabytes for a few bytes of file. No real song needs a larger single block.
    av_max_alloc(kMaxFFmpegAllocation);
    m_channelCount = std::min(maxChannels, kMaxChannels);
    m_channelBuffer.assign(size_t(kBlockFrames) * 2, 0.0f);
    m_retired.reserve(size_t(kMaxChannels));
    m_history.fill(0.0f);
    m_bands.fill(0.0f);
    if (!m_offline) {
        // The program ends on SIGINT and SIGTERM itself; SDL's handlers would only queue an
        // event that nobody reads.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return fail(FMOD_ERR_INIT);
        SDL_AudioSpec want{};
        want.freq = kMixRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &Engine::audioCallback;
        want.userdata = this;
        SDL_AudioSpec have{};
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (m_device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return fail(FMOD_ERR_INIT);
        }
        SDL_PauseAudioDevice(m_device, 0);
    }
    m_initialised = true;
    return true;
}

void Engine::close()
{
    std::lock_guard api(m_api);
    if (!m_initialised)
        return;
    if (m_device != 0) {
        SDL_CloseAudioDevice(m_device); // waits for a running callback
        m_device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::vector<std::shared_ptr<AudioChannel>> dead;
    {
        std::lock_guard lock(m_mixLock);
        for (Slot &slot : m_slots)
            clearSlot(slot, dead);
        for (auto &c : m_retired)
            dead.push_back(std::move(c));
        m_retired.clear();
        m_fftActive = false;
    }
    disposer().later(std::move(dead));
    std::map<int, std::shared_ptr<AudioSample>> samples;
    {
        std::lock_guard lock(m_sampleLock);
        samples.swap(m_samples);
    }
    for (auto &entry : samples)
        disposer().later({}, std::move(entry.second));
    disposer().drain(kClosePatience);
    m_allVolume.store(255);
    m_initialised = false;
}

bool Engine::initialised()
{
    if (!m_initialised.load())
        return fail(FMOD_ERR_UNINITIALIZED);
    return true;
}

int Engine::loadSample(const char *name)
{
    if (!initialised())
        return 0;
    if (!name || !*name)
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    auto sample = AudioSample::load(name);
    if (!sample)
        return fail(sample.error()), 0;
    return addSample(std::move(*sample));
}

int Engine::addSample(std::shared_ptr<AudioSample> sample)
{
    std::lock_guard lock(m_sampleLock);
    const int handle = m_nextSample++;
    if (m_nextSample <= 0)
        m_nextSample = 1;
    m_samples[handle] = std::move(sample);
    return handle;
}

std::shared_ptr<AudioSample> Engine::sample(int handle)
{
    std::lock_guard lock(m_sampleLock);
    auto it = m_samples.find(handle);
    return it == m_samples.end() ? nullptr : it->second;
}

void Engine::freeSample(int handle)
{
    std::shared_ptr<AudioSample> s;
    {
        std::lock_guard lock(m_sampleLock);
        auto it = m_samples.find(handle);
        if (it == m_samples.end()) {
            fail(FMOD_ERR_INVALID_PARAM);
            return;
        }
        s = std::move(it->second);
        m_samples.erase(it);
    }
    std::vector<std::shared_ptr<AudioChannel>> dead;
    {
        std::lock_guard lock(m_mixLock);
        for (Slot &slot : m_slots) {
            if (slot.channel && slot.channel->sample() == s)
                clearSlot(slot, dead);
            else if (slot.next && slot.next->sample() == s)
                dead.push_back(std::move(slot.next));
        }
    }
    disposer().later(std::move(dead), std::move(s));
}

unsigned Engine::sampleLength(int handle, std::chrono::milliseconds patience)
{
    if (!initialised())
        return 0;
    auto s = sample(handle);
    if (!s)
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    return unsigned(std::clamp<int64_t>(s->length(std::max(patience, std::chrono::milliseconds(0))), 0, UINT32_MAX));
}

int Engine::placeChannel(int channel, std::shared_ptr<AudioChannel> playing,
                         std::vector<std::shared_ptr<AudioChannel>> &replaced)
{
    std::lock_guard lock(m_mixLock);
    int index = channel;
    if (index == FSOUND_FREE) {
        for (int i = 0; i < m_channelCount && index < 0; ++i)
            if (!m_slots[size_t(i)].channel)
                index = i;
        for (int i = 0; i < m_channelCount && index < 0; ++i)
            if (m_slots[size_t(i)].channel->ended() && !m_slots[size_t(i)].next)
                index = i;
        if (index < 0)
            return fail(FMOD_ERR_CHANNEL_ALLOC), 0;
    }
    Slot &slot = m_slots[size_t(index)];
    clearSlot(slot, replaced);
    slot.channel = std::move(playing);
    slot.serial = (slot.serial + 1) & 0x7fffff;
    if (slot.serial == 0)
        slot.serial = 1;
    return int(slot.serial << 7) | (index + 1);
}

int Engine::playSound(int channel, int sampleHandle)
{
    if (!initialised())
        return 0;
    auto s = sample(sampleHandle);
    if (!s)
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    if (channel != FSOUND_FREE && (channel < 0 || channel >= m_channelCount))
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    if (s->sourceRate() == 0) // a queued file still opening
        return fail(FMOD_ERR_PLAY), 0;
    auto decoder = s->takeDecoder(nullptr);
    if (!decoder)
        return fail(FMOD_ERR_PLAY), 0;
    auto playing = std::make_shared<AudioChannel>(s, std::move(*decoder), m_allVolume.load());
    playing->setSampleHandle(sampleHandle);
    std::vector<std::shared_ptr<AudioChannel>> replaced;
    const int handle = placeChannel(channel, std::move(playing), replaced);
    disposer().later(std::move(replaced));
    return handle;
}

Slot *Engine::slotLocked(int handle)
{
    const int index = (handle & 0x7f) - 1;
    const uint32_t serial = uint32_t(handle) >> 7;
    if (handle <= 0 || index < 0 || index >= m_channelCount || m_slots[size_t(index)].serial != serial ||
        !m_slots[size_t(index)].channel) {
        fail(FMOD_ERR_INVALID_PARAM);
        return nullptr;
    }
    return &m_slots[size_t(index)];
}

void Engine::clearSlot(Slot &slot, std::vector<std::shared_ptr<AudioChannel>> &dead)
{
    if (slot.channel)
        dead.push_back(std::move(slot.channel));
    if (slot.next)
        dead.push_back(std::move(slot.next));
}

std::pair<std::shared_ptr<AudioChannel>, std::shared_ptr<AudioChannel>> Engine::slotChannels(int handle)
{
    if (!initialised())
        return {};
    reap();
    std::lock_guard lock(m_mixLock);
    const Slot *slot = slotLocked(handle);
    return slot ? std::pair(slot->channel, slot->next)
                : std::pair<std::shared_ptr<AudioChannel>, std::shared_ptr<AudioChannel>>();
}

std::shared_ptr<AudioChannel> Engine::channel(int handle)
{
    return slotChannels(handle).first;
}

int Engine::isPlaying(int handle)
{
    const auto [playing, next] = slotChannels(handle);
    return playing && (!playing->ended() || next) ? 1 : 0;
}

void Engine::reap()
{
    std::vector<std::shared_ptr<AudioChannel>> dead;
    {
        std::lock_guard lock(m_mixLock);
        dead.swap(m_retired);
        m_retired.reserve(size_t(kMaxChannels));
        for (Slot &slot : m_slots)
            if (slot.next && slot.next->ended()) // its file did not open
                dead.push_back(std::move(slot.next));
    }
    disposer().later(std::move(dead));
}

int Engine::queueSample(int handle, const char *name)
{
    if (!initialised())
        return 0;
    if (!name || !*name)
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    if (!channel(handle))
        return 0;
    auto sample = AudioSample::unopened(name);
    auto next = std::make_shared<AudioChannel>(sample, m_allVolume.load());
    const int sampleHandle = addSample(sample);
    next->setSampleHandle(sampleHandle);
    std::vector<std::shared_ptr<AudioChannel>> replaced;
    bool placed = false;
    {
        std::lock_guard lock(m_mixLock);
        if (Slot *slot = slotLocked(handle)) {
            if (slot->next)
                replaced.push_back(std::move(slot->next));
            slot->next = std::move(next);
            placed = true;
        } else {
            replaced.push_back(std::move(next));
        }
    }
    disposer().later(std::move(replaced));
    if (!placed) { // the channel went while the file was being set up
        freeSample(sampleHandle);
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    }
    return sampleHandle;
}

int Engine::queuedSample(int handle)
{
    const auto next = slotChannels(handle).second;
    return next ? next->sampleHandle() : 0;
}

int Engine::playingSample(int handle)
{
    auto c = channel(handle);
    return c ? c->sampleHandle() : 0;
}

int Engine::sampleRate(int sampleHandle)
{
    if (!initialised())
        return 0;
    auto s = sample(sampleHandle);
    if (!s)
        return fail(FMOD_ERR_INVALID_PARAM), 0;
    return s->sourceRate();
}

std::vector<std::shared_ptr<AudioChannel>> Engine::allChannels()
{
    std::vector<std::shared_ptr<AudioChannel>> all;
    std::lock_guard lock(m_mixLock);
    for (Slot &slot : m_slots)
        if (slot.channel)
            all.push_back(slot.channel);
    return all;
}

bool Engine::stopSound(int handle)
{
    if (!initialised())
        return false;
    std::vector<std::shared_ptr<AudioChannel>> dead;
    {
        std::lock_guard lock(m_mixLock);
        for (int i = 0; i < m_channelCount; ++i) {
            Slot &slot = m_slots[size_t(i)];
            const bool named = handle == FSOUND_ALL ||
                               (handle > 0 && (handle & 0x7f) - 1 == i && uint32_t(handle) >> 7 == slot.serial);
            if (named && slot.channel)
                clearSlot(slot, dead);
        }
    }
    if (handle != FSOUND_ALL && dead.empty())
        return fail(FMOD_ERR_INVALID_PARAM);
    disposer().later(std::move(dead));
    return true;
}

bool Engine::setVolume(int handle, int volume)
{
    if (!initialised())
        return false;
    volume = std::clamp(volume, 0, 255);
    if (handle == FSOUND_ALL) {
        m_allVolume.store(volume);
        for (auto &c : allChannels())
            c->setVolume(volume);
        return true;
    }
    auto c = channel(handle);
    if (!c)
        return false;
    c->setVolume(volume);
    return true;
}

int Engine::volume(int handle)
{
    if (handle == 0 || handle == FSOUND_ALL)
        return m_allVolume.load();
    auto c = channel(handle);
    return c ? c->volume() : 0;
}

bool Engine::setPaused(int handle, bool paused)
{
    if (!initialised())
        return false;
    if (handle == FSOUND_ALL) {
        for (auto &c : allChannels())
            c->setPaused(paused);
        return true;
    }
    auto c = channel(handle);
    if (!c)
        return false;
    c->setPaused(paused);
    return true;
}

bool Engine::setActive(int unit, bool active)
{
    if (!initialised())
        return false;
    if (unit != kFftUnit)
        return fail(FMOD_ERR_INVALID_PARAM);
    std::lock_guard lock(m_mixLock);
    if (active && !m_fftActive)
        m_history.fill(0.0f);
    m_fftActive = active;
    return true;
}

bool Engine::fftActive()
{
    std::lock_guard lock(m_mixLock);
    return m_fftActive;
}

float *Engine::spectrum()
{
    std::array<float, kSpectrumSize> latest{};
    bool active = false;
    {
        std::lock_guard lock(m_mixLock);
        active = m_fftActive;
        if (active) {
            // The history is circular; the oldest sample sits at the write position.
            const size_t head = size_t(m_historyPos);
            std::copy(m_history.begin() + ptrdiff_t(head), m_history.end(), latest.begin());
            std::copy(m_history.begin(), m_history.begin() + ptrdiff_t(head),
                      latest.begin() + ptrdiff_t(kSpectrumSize - head));
        }
    }
    std::lock_guard api(m_spectrumLock);
    if (active)
        m_spectrum.compute(latest, m_bands);
    else
        m_bands.fill(0.0f);
    return m_bands.data();
}

int Engine::enableEffect(int handle, unsigned fx)
{
    auto c = channel(handle);
    if (!c)
        return -1;
    if (fx != FSOUND_FX_PARAMEQ)
        return fail(FMOD_ERR_INVALID_PARAM), -1;
    std::lock_guard lock(m_mixLock);
    // One equaliser a channel: enabling it again names the one that is there.
    if (!c->effects.empty())
        return c->effects.front().id;
    ChannelEffect effect;
    effect.id = m_nextEffect++;
    if (m_nextEffect <= 0)
        m_nextEffect = 1;
    effect.filter.setCoefficients(peakingBand(8000.0f, 12.0f, 0.0f, kMixRate));
    c->effects.push_back(std::move(effect));
    return c->effects.back().id;
}

bool Engine::setParamEq(int id, float centre, float bandwidth, float gain)
{
    if (!initialised())
        return false;
    if (id <= 0 || !std::isfinite(centre) || !std::isfinite(bandwidth) || !std::isfinite(gain))
        return fail(FMOD_ERR_INVALID_PARAM);
    const PeakingCoefficients c = peakingBand(std::clamp(centre, 80.0f, 16000.0f), std::clamp(bandwidth, 1.0f, 36.0f),
                                              std::clamp(gain, -15.0f, 15.0f), kMixRate);
    std::lock_guard lock(m_mixLock);
    for (int i = 0; i < m_channelCount; ++i) {
        const auto &ch = m_slots[size_t(i)].channel;
        if (!ch)
            continue;
        for (ChannelEffect &e : ch->effects)
            if (e.id == id) {
                e.filter.setCoefficients(c);
                return true;
            }
    }
    return fail(FMOD_ERR_INVALID_PARAM);
}

Engine &engine()
{
    static Engine instance;
    return instance;
}

} // namespace audio

} // namespace corvanel::playback
