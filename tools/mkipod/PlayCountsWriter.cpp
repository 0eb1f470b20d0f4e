#include "ByteWriter.h"
#include "IpodBuilder.h"

#include <algorithm>

namespace mkipod {

QByteArray buildPlayCounts(const PlayCountsFile &file)
{
    constexpr uint32_t kHeader = 0x60;
    const uint32_t size = std::clamp<uint32_t>(file.entrySize, 12, 40);
    ByteWriter w(kHeader + qsizetype(size) * qsizetype(file.entries.size()));
    const qsizetype at = w.beginRecord("mhdp", kHeader);
    w.set32(at + 8, size);
    w.set32(at + 12, file.announced.value_or(uint32_t(file.entries.size())));
    for (const PlayCountsEntry &e : file.entries) {
        const qsizetype entry = w.size();
        w.appendZeros(size);
        w.set32(entry, uint32_t(e.plays));
        w.set32(entry + 4, e.lastPlayed);
        if (size >= 16)
            w.set32(entry + 12, uint32_t(e.rating));
        if (size >= 28) {
            w.set32(entry + 20, uint32_t(e.skips));
            w.set32(entry + 24, e.lastSkipped);
        }
    }
    return w.take();
}

} // namespace mkipod
