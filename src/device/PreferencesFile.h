#pragma once
// The power-related settings in the iPod's own Preferences file: a handful of single bytes at
// fixed offsets. Reading them checks that each holds a value this program knows; a file that
// does not is another firmware's structure and is left alone.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace corvanel::device {

namespace prefs {
inline constexpr qsizetype kRepeat = 20;       // 0 off, 1 all, 2 one
inline constexpr qsizetype kShuffle = 24;      // 0 off, 1 on
inline constexpr qsizetype kShuffleKind = 137; // with shuffle on: 0 songs, 1 albums
inline constexpr qsizetype kEqualiser = 2272;  // 0 off, 1 on
inline constexpr qsizetype kEqualiserSecond = 2282;
inline constexpr qsizetype kContrast = 2796;   // not read
inline constexpr qsizetype kBacklight = 2800;  // 0 off, anything else a timeout
inline constexpr qsizetype kSoundCheck = 2838; // 0 off, 1 on
inline constexpr uint8_t kMediumContrast = 80;
// The shortest file the editor works on: it must reach the sound check byte.
inline constexpr qsizetype kMinimumLength = kSoundCheck + 1;
} // namespace prefs

// The state word appended to each line's caption ("off.", "on all.", ...).
struct PowerStates
{
    QString shuffle;
    QString repeat;
    QString soundCheck;
    QString equaliser;
    QString backlight;
    QString clicker;
};

// The state words of a file image. Nothing when the image is shorter than kMinimumLength or
// an examined byte holds a value outside the known ones (the structure is not the expected one).
std::optional<PowerStates> readPowerStates(QByteArrayView image);

// The boxes the user ticked.
struct PowerSaveChoices
{
    bool shuffle = false;
    bool repeat = false;
    bool soundCheck = false;
    bool equaliser = false;
    bool backlight = false;
    bool clicker = false; // has no byte: ticking it changes nothing
    bool contrast = false;
};

// Writes the power-saving value of each ticked setting into the image. The length never
// changes; an image shorter than kMinimumLength is left as it is and gives false.
bool applyPowerSave(QByteArray &image, const PowerSaveChoices &choices);

} // namespace corvanel::device
