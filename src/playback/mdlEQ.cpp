#include "mdlEQ.h"

#include "Dialogs.h"
#include "FSound.h"

#include <cmath>

namespace {
constexpr float kCentre = 4000.0f;
constexpr float kBandwidth = 12.0f;
} // namespace

bool SetEQ(float Center, float Bandwidth, float Gain)
{
    if (EQEffect == 0) {
        const int32_t channel = EQChannel ? EQChannel() : 0;
        // Nothing plays: the gain is kept and reaches the next song when it starts.
        if (channel == 0)
            return true;
        EQEffect = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
    }
    if (!FSOUND_FX_SetParamEQ(EQEffect, Center, Bandwidth, Gain)) {
        corvanel::dialogs().message({QString(), QStringLiteral("Unable to set EQ"), corvanel::MessageIcon::None,
                                     corvanel::MessageButtons::Ok});
        return false;
    }
    return true;
}

void applyEQToChannel(int32_t channel)
{
    EQEffect = 0;
    if (channel == 0 || BassGain == 0.0f)
        return;
    EQEffect = FSOUND_FX_Enable(channel, FSOUND_FX_PARAMEQ);
    if (EQEffect != 0)
        FSOUND_FX_SetParamEQ(EQEffect, kCentre, kBandwidth, BassGain);
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
