// Arbitrary bytes as the update listing: every line is judged against a local version.
// A line that would download must name a plain file inside the program folder.
#include "UpdateListing.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace corvanel;
using namespace corvanel::update;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int localVersion = static_cast<int16_t>(data[0] | (data[1] << 8));
    const QStringList lines = corvanel::update::splitListing(
        QByteArray(reinterpret_cast<const char *>(data + 2), static_cast<qsizetype>(size - 2)));
    for (const QString &line : lines) {
        const corvanel::update::ListingLine parsed = corvanel::update::parseListingLine(line, localVersion);
        if (parsed.kind == corvanel::update::ListingLineKind::Download) {
            if (parsed.version <= localVersion || !corvanel::update::isPlainFileName(parsed.fileName) ||
                parsed.fileName.contains(QLatin1Char('/')) || parsed.fileName == QLatin1String(".."))
                __builtin_trap();
        }
    }
    return 0;
}
