#include "mdlEQ.h"

#include "Dialogs.h"
#include "FSound.h"

#include <cmath>

namespace corvanel::playback {

using namespace corvanel::platform;

namespace {
constexpr float kCentre = 4000.0f;
constexpr float kBandwidth = 12.0f;
} // namespace

bool Equaliser::SetEQ(float Center, float Bandwidth, float Gain)
{
    const int32_t channel = EQChannel ? EQChannel() : 0;
    // Nothing plays (no song yet, it has ended, or its load failed): the handle of the old
    // song's effect is dropped and the gain is kept for the next song.
    if (channel == 0 || FSOUND_IsPlaying(channel) != 1) {
        EQEffect = 0;
        return true;
    }
    // A channel has one equaliser; asking for it again names the one it has.
    EQEffect = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
    if (!FSOUND_FX_SetParamEQ(EQEffect, Center, Bandwidth, Gain)) {
        corvanel::platform::dialogs().message({QStringLiteral("Corvanel"), QStringLiteral("Unable to set EQ"),
                                               corvanel::platform::MessageIcon::None,
                                               corvanel::platform::MessageButtons::Ok});
        return false;
    }
    return true;
}

void Equaliser::applyEQToChannel(int32_t channel)
{
    EQEffect = 0;
    if (channel == 0 || BassGain == 0.0f)
        return;
    // On a resumed song this is the effect the channel already has: the gain is set, not added.
    EQEffect = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
    if (EQEffect > 0)
        FSOUND_FX_SetParamEQ(EQEffect, kCentre, kBandwidth, BassGain);
}

int32_t Equaliser::enableOnChannel()
{
    EQEffect = FSOUND_FX_Enable(EQChannel ? EQChannel() : 0, FSOUND_FX_PARAMEQ);
    return EQEffect;
}

float gainForWidth(int width)
{
    float g = static_cast<float>(width - 150);
    if (g != 0.0f)
        g /= 10.0f;
    return g;
}

int widthForGain(float gain)
{
    return static_cast<int>(std::lround(gain * 10.0f + 150.0f));
}

} // namespace corvanel::playback
