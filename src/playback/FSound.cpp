#include "FSound.h"

#include "AudioEngine.h"

#include <algorithm>

namespace corvanel::playback {

using namespace audio;

bool FSOUND_SetOutput(int output)
{
    return engine().setOutput(output);
}
bool FSOUND_Init(int, int maxchannels, unsigned)
{
    return engine().init(maxchannels);
}
void FSOUND_Close()
{
    engine().close();
}
int FSOUND_GetError()
{
    return engine().lastError.load();
}

int FSOUND_Sample_Load(int, const char *name, unsigned, int, int)
{
    return engine().loadSample(name);
}

void FSOUND_Sample_Free(int sample)
{
    if (engine().initialised())
        engine().freeSample(sample);
}

unsigned FSOUND_Sample_GetLength(int sample)
{
    return engine().sampleLength(sample, std::chrono::milliseconds(0)); // never waits
}

unsigned FSOUND_Sample_WaitForLength(int sample, int milliseconds)
{
    return engine().sampleLength(sample, std::chrono::milliseconds(milliseconds));
}
int FSOUND_PlaySound(int channel, int sample)
{
    return engine().playSound(channel, sample);
}
bool FSOUND_StopSound(int channel)
{
    return engine().stopSound(channel);
}
bool FSOUND_SetPaused(int channel, bool paused)
{
    return engine().setPaused(channel, paused);
}

bool FSOUND_GetPaused(int channel)
{
    auto c = engine().channel(channel);
    return c && c->paused();
}

int FSOUND_IsPlaying(int channel)
{
    return engine().isPlaying(channel);
}

unsigned FSOUND_GetCurrentPosition(int channel)
{
    auto c = engine().channel(channel);
    return c ? unsigned(std::clamp<int64_t>(c->position(), 0, UINT32_MAX)) : 0;
}

bool FSOUND_SetCurrentPosition(int channel, unsigned position)
{
    auto c = engine().channel(channel);
    if (!c)
        return false;
    if (c->ended())
        return engine().fail(FMOD_ERR_INVALID_PARAM);
    c->seek(int64_t(position));
    return true;
}

bool FSOUND_SetVolume(int channel, int volume)
{
    return engine().setVolume(channel, volume);
}
int FSOUND_GetVolume(int channel)
{
    return engine().volume(channel);
}

int queueSample(int channel, const char *name)
{
    return engine().queueSample(channel, name);
}
int queuedSample(int channel)
{
    return engine().queuedSample(channel);
}
int playingSample(int channel)
{
    return engine().playingSample(channel);
}
int sampleRate(int sample)
{
    return engine().sampleRate(sample);
}

int FSOUND_DSP_GetFFTUnit()
{
    return engine().initialised() ? kFftUnit : 0;
}
bool FSOUND_DSP_SetActive(int unit, bool active)
{
    return engine().setActive(unit, active);
}
bool FSOUND_DSP_GetActive(int unit)
{
    return unit == kFftUnit && engine().fftActive();
}
float *FSOUND_DSP_GetSpectrum()
{
    return engine().spectrum();
}

int FSOUND_FX_Enable(int channel, unsigned fx)
{
    return engine().enableEffect(channel, fx);
}
bool FSOUND_FX_SetParamEQ(int fxid, float center, float bandwidth, float gain)
{
    return engine().setParamEq(fxid, center, bandwidth, gain);
}

int FSOUND_Offline_Render(float *out, int frames)
{
    return engine().offlineRender(out, frames);
}

} // namespace corvanel::playback
