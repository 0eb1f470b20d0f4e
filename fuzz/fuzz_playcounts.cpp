// Reads any bytes as a Play Counts file and as both kinds of a shuffle's iTunesStats, and merges
// them into a small library.
#include <PlayCounts.h>

#include <cstddef>
#include <cstdint>

using namespace corvanel;
using namespace corvanel::itunesdb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MusicLibrary library;
    for (int i = 0; i < 5; ++i)
        library.addSong().PlayCount = i == 0 ? 0x7FFFFFFF : i;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const PlayCountsRead &read :
         {readPlayCounts(bytes), readShuffleStats(bytes, false), readShuffleStats(bytes, true)}) {
        mergePlayCounts(read.entries, library, 0);
        mergePlayCounts(read.entries, library, 3);
    }
    return 0;
}
