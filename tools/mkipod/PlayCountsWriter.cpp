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

QByteArray buildShuffleStats(const PlayCountsFile &file, ShuffleLayout layout)
{
    const bool chunked = layout == ShuffleLayout::Chunked;
    const qsizetype entrySize = chunked ? 32 : 18;
    const auto count = uint32_t(file.entries.size());
    ByteWriter w((chunked ? 8 : 6) + entrySize * qsizetype(count));
    auto put24 = [&w](qsizetype at, uint32_t v) {
        for (int i = 0; i < 3; ++i)
            w.set8(at + i, uint8_t(v >> (8 * i)));
    };
    w.appendZeros(chunked ? 8 : 6);
    if (chunked)
        w.set32(0, count);
    else
        put24(0, count);
    for (const PlayCountsEntry &e : file.entries) {
        const qsizetype at = w.size();
        w.appendZeros(entrySize);
        if (chunked) {
            w.set32(at, uint32_t(entrySize));
            w.set32(at + 8, uint32_t(e.plays));
            w.set32(at + 12, e.lastPlayed);
            w.set32(at + 16, uint32_t(e.skips));
            w.set32(at + 20, e.lastSkipped);
        } else {
            put24(at, uint32_t(entrySize));
            put24(at + 12, uint32_t(e.plays));
            put24(at + 15, uint32_t(e.skips));
        }
    }
    return w.take();
}

} // namespace mkipod
