#pragma once
// The equaliser of one player: the channel it follows, the engine's effect on that channel and
// the gain last set with the bass slider (kept while the program runs).
#include <cstdint>
#include <functional>

namespace corvanel::playback {

class Equaliser
{
public:
    // The gain in dB last set with the bass slider; kept while the program runs.
    float BassGain = 0.0f;
    // The engine's id of the equaliser effect on the playing channel; 0 when none is enabled.
    int32_t EQEffect = 0;
    // The channel the player plays on.
    std::function<int32_t()> EQChannel;

    // Sets the band on the playing song. Without an effect yet, one is enabled on the playing
    // channel first. Says "Unable to set EQ" when the engine refuses.
    bool SetEQ(float Center, float Bandwidth, float Gain);
    // A new song plays on a new channel: the effect follows it, with the current gain.
    void applyEQToChannel(int32_t channel);
    // The button "Command1": enables the effect on the playing channel; returns its id.
    int32_t enableOnChannel();
};

// The slider's geometry: width 150 is 0 dB, ten pixels a decibel.
float gainForWidth(int width);
int widthForGain(float gain);

} // namespace corvanel::playback
