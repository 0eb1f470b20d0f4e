// Any bytes as the start of a database (its checksum fields) and as a Play Counts file.
#include "DatabaseHeader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace corvanel::checkup;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const ChecksumKind kind : {ChecksumKind::Hash58, ChecksumKind::Hash72, ChecksumKind::HashAB})
        checksumFieldState(bytes, kind);
    const PlayCountsHeader header = parsePlayCountsHeader(bytes, static_cast<qint64>(size));
    if ((header.entries < 0) == header.problem.isEmpty())
        std::abort();
    return 0;
}
