// Arbitrary bytes as the iPod's Preferences file and as its SysInfo file.
#include "PreferencesFile.h"
#include "SysInfo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace corvanel;

using namespace corvanel::device;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<PowerStates> states = readPowerStates(bytes);
    if (states && (states->shuffle.isEmpty() || states->backlight.isEmpty() || bytes.size() < prefs::kMinimumLength))
        std::abort();

    // Every box ticked: the image keeps its length, and a refused image is left untouched.
    QByteArray image = bytes;
    const bool applied = applyPowerSave(image, {true, true, true, true, true, true, true});
    if (image.size() != bytes.size() || applied != (bytes.size() >= prefs::kMinimumLength) ||
        (!applied && image != bytes))
        std::abort();
    if (applied && !readPowerStates(image))
        std::abort(); // the written values are ones the check knows

    // The rows never outgrow what is shown (the last may be the note that the text was cut),
    // and feeding the bytes in two parts gives the same rows.
    const QStringList rows = sysInfoRows(bytes);
    if (rows.isEmpty() || rows.size() > kSysInfoRows + 1)
        std::abort();
    for (const QString &row : rows)
        if (row.size() > kSysInfoRowLength)
            std::abort();
    SysInfoRows parts;
    if (parts.add(QByteArrayView(bytes).first(bytes.size() / 2)))
        parts.add(QByteArrayView(bytes).sliced(bytes.size() / 2));
    if (parts.finish(false) != rows)
        std::abort();
    return 0;
}
