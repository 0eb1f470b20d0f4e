#include "PreferencesFile.h"

namespace corvanel::device {
namespace {

uint8_t at(QByteArrayView image, qsizetype offset)
{
    return static_cast<uint8_t>(image[offset]);
}

// The word for a byte that may only be 0 or 1.
std::optional<QString> offOrOn(uint8_t value)
{
    switch (value) {
    case 0:
        return QStringLiteral("off.");
    case 1:
        return QStringLiteral("on.");
    default:
        return std::nullopt;
    }
}

std::optional<QString> shuffleWord(QByteArrayView image)
{
    switch (at(image, prefs::kShuffle)) {
    case 0:
        return QStringLiteral("off.");
    case 1:
        break;
    default:
        return std::nullopt;
    }
    // The kind of shuffle only means something while shuffle is on.
    switch (at(image, prefs::kShuffleKind)) {
    case 0:
        return QStringLiteral("on all.");
    case 1:
        return QStringLiteral("on albums.");
    default:
        return std::nullopt;
    }
}

std::optional<QString> repeatWord(uint8_t value)
{
    switch (value) {
    case 0:
        return QStringLiteral("off.");
    case 1:
        return QStringLiteral("on all.");
    case 2:
        return QStringLiteral("on one.");
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<PowerStates> readPowerStates(QByteArrayView image)
{
    if (image.size() < prefs::kMinimumLength)
        return std::nullopt;
    PowerStates states;
    const std::optional<QString> shuffle = shuffleWord(image);
    const std::optional<QString> repeat = repeatWord(at(image, prefs::kRepeat));
    const std::optional<QString> soundCheck = offOrOn(at(image, prefs::kSoundCheck));
    const std::optional<QString> equaliser = offOrOn(at(image, prefs::kEqualiser));
    if (!shuffle || !repeat || !soundCheck || !equaliser)
        return std::nullopt;
    states.shuffle = *shuffle;
    states.repeat = *repeat;
    states.soundCheck = *soundCheck;
    states.equaliser = *equaliser;
    states.backlight = at(image, prefs::kBacklight) == 0 ? QStringLiteral("off.") : QStringLiteral("on.");
    states.clicker = QStringLiteral("on.");
    return states;
}

bool applyPowerSave(QByteArray &image, const PowerSaveChoices &choices)
{
    if (image.size() < prefs::kMinimumLength)
        return false;
    auto set = [&image](qsizetype offset, uint8_t value) { image[offset] = static_cast<char>(value); };
    if (choices.shuffle) {
        set(prefs::kShuffle, 0);
        set(prefs::kShuffleKind, 0);
    }
    if (choices.repeat)
        set(prefs::kRepeat, 0);
    if (choices.soundCheck)
        set(prefs::kSoundCheck, 0);
    if (choices.equaliser) {
        set(prefs::kEqualiser, 0);
        set(prefs::kEqualiserSecond, 0);
    }
    if (choices.backlight)
        set(prefs::kBacklight, 0);
    if (choices.contrast)
        set(prefs::kContrast, prefs::kMediumContrast);
    return true;
}

} // namespace corvanel::device
