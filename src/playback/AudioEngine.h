#pragma once
// The sound engine behind the FSOUND_ calls: the output device (or offline rendering), the
// sample and channel tables, the mixer, the effects and the spectrum.
#include "AudioAnalyser.h"
#include "AudioChannel.h"
#include "FSound.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace corvanel::playback {

namespace audio {

constexpr int kMaxChannels = 64;
// The largest single block FFmpeg may allocate (the tag scan sets the same).
constexpr std::size_t kMaxFFmpegAllocation = 128u << 20;
constexpr int kBlockFrames = 4096;
constexpr int kFftUnit = 1;
// How long closing the engine waits for the decoders it stopped to let go of their files.
constexpr std::chrono::milliseconds kClosePatience{2000};
// Offline rendering waits at most this long for a decoder before it renders what there is.
constexpr std::chrono::milliseconds kOfflineWait{10000};

struct Slot
{
    std::shared_ptr<AudioChannel> channel;
    // The sound that follows `channel` without a gap, opening or ready; it takes over the slot
    // (and so the handle) when the mixer has taken the last frame of `channel`.
    std::shared_ptr<AudioChannel> next;
    uint32_t serial = 0;
};

class Engine
{
public:
    ~Engine() { close(); }

    std::atomic<int> lastError{0};

    bool fail(int code);

    bool setOutput(int output);

    bool init(int maxChannels);

    void close();

    bool initialised();

    int loadSample(const char *name);

    std::shared_ptr<AudioSample> sample(int handle);

    void freeSample(int handle);

    // The exact length once counted, waiting for the count at most `patience`; the
    // container's estimate until then.
    unsigned sampleLength(int handle, std::chrono::milliseconds patience);

    int playSound(int channel, int sampleHandle);

    // Puts a new channel into the named slot, or any free one; what it replaces goes to `replaced`.
    int placeChannel(int channel, std::shared_ptr<AudioChannel> playing,
                     std::vector<std::shared_ptr<AudioChannel>> &replaced);

    // The channel a handle names, or null (error 14 set) when it is stale or unknown.
    std::shared_ptr<AudioChannel> channel(int handle);
    // That channel and the sound queued after it.
    std::pair<std::shared_ptr<AudioChannel>, std::shared_ptr<AudioChannel>> slotChannels(int handle);

    std::vector<std::shared_ptr<AudioChannel>> allChannels();

    // 1 while the channel's sound runs (paused included) or a queued sound is still to follow.
    int isPlaying(int handle);

    // Gapless hand-over: opens the file on the queued sound's own thread; returns its sample handle.
    int queueSample(int handle, const char *name);
    int queuedSample(int handle);
    int playingSample(int handle);
    int sampleRate(int sampleHandle);

    bool stopSound(int handle);

    bool setVolume(int handle, int volume);

    int volume(int handle);

    bool setPaused(int handle, bool paused);

    bool setActive(int unit, bool active);

    bool fftActive();

    float *spectrum();

    int enableEffect(int handle, unsigned fx);

    bool setParamEq(int id, float centre, float bandwidth, float gain);

    int offlineRender(float *out, int frames);

private:
    static void audioCallback(void *userdata, Uint8 *stream, int len) noexcept;

    int addSample(std::shared_ptr<AudioSample> sample);
    // The slot a channel handle names, or null; called with m_mixLock held.
    Slot *slotLocked(int handle);
    // Empties a slot into `dead`.
    static void clearSlot(Slot &slot, std::vector<std::shared_ptr<AudioChannel>> &dead);
    // Hands the channels the mixer retired, and queued sounds that failed to open, to the disposer.
    void reap();

    // Mixes every running channel into `out` (stereo); called with m_mixLock held.
    void mixLocked(float *out, int frames);
    // Mixes one slot, going on with its queued sound when the current one ends mid-block.
    void mixSlotLocked(Slot &slot, float *out, int frames);
    // Adds up to `frames` frames of the channel to `out`; returns the frames it had.
    int mixChannelLocked(AudioChannel &c, float *out, int frames);
    bool handOverLocked(Slot &slot);

    std::mutex m_api; // init and close
    std::atomic<bool> m_initialised{false};
    bool m_offline = false;
    SDL_AudioDeviceID m_device = 0;
    int m_channelCount = 32;
    std::atomic<int> m_allVolume{255};

    std::mutex m_sampleLock;
    std::map<int, std::shared_ptr<AudioSample>> m_samples;
    int m_nextSample = 1;

    // Guards the channel table, effects and the spectrum history; the mixer holds it while mixing.
    std::mutex m_mixLock;
    std::array<Slot, kMaxChannels> m_slots{};
    // Channels whose sound the mixer finished and replaced; never destroyed on the mixer's thread.
    std::vector<std::shared_ptr<AudioChannel>> m_retired;
    int m_nextEffect = 1;
    std::vector<float> m_channelBuffer;
    bool m_fftActive = false;
    std::array<float, kSpectrumSize> m_history{};
    int m_historyPos = 0;

    std::mutex m_spectrumLock;
    AudioAnalyser m_spectrum;
    std::array<float, kSpectrumBands> m_bands{};
};

// The one engine of the process.
Engine &engine();

} // namespace audio

} // namespace corvanel::playback
