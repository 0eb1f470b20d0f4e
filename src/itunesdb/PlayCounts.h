#pragma once
// The iPod's own record of what happened since the last sync: the "Play Counts" file beside the
// database, one entry per track in the database's track order. Nothing here writes it.
#include "LoadReport.h"

#include <MusicLibrary.h>

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// The iPod counts seconds from 1904-01-01; 0 means never and stays 0.
inline constexpr int64_t MacEpochOffset = 2082844800;
inline constexpr int64_t unixFromMacTime(uint32_t macTime)
{
    return macTime ? static_cast<int64_t>(macTime) - MacEpochOffset : 0;
}

inline constexpr auto PlayCountsName = u"Play Counts";

struct PlayCountEntry
{
    int32_t plays = 0;
    int64_t lastPlayed = 0;        // Unix seconds; 0 when not played since the sync
    std::optional<int32_t> rating; // 0..100; entries shorter than 16 bytes hold none
    int32_t skips = 0;             // entries of 28 bytes and more
    int64_t lastSkipped = 0;
};

struct PlayCountsRead
{
    std::vector<PlayCountEntry> entries;
    int64_t announced = 0; // the entry count the header gives
    QString damage;        // why the file was not read whole; empty when it was
};

// Reads the file's bytes: "mhdp", header length at 4, entry size at 8 (12 bytes or more; only
// the fields that size holds are read), entry count at 12, the entries after the header. Entries
// that run past the end of the file are not read, and the damage says so.
PlayCountsRead readPlayCounts(QByteArrayView bytes);

inline constexpr auto ShuffleStatsName = u"iTunesStats";

// Reads a shuffle's "iTunesStats" bytes, one entry per song of its song list, in its order.
// `chunked` is the layout of the 3rd and 4th generation: a 32-bit count, entries from byte 8,
// each its length (32 or more), then at 8 plays, 12 last played, 16 skips, 20 last skipped.
// Otherwise the 1st and 2nd generation's: 24-bit numbers, the count, entries from byte 6, each
// its length (18 or more), then plays at 12 and skips at 15; no times.
PlayCountsRead readShuffleStats(QByteArrayView bytes, bool chunked);

// Adds the entries to songs [first, first + n), n the smaller of the two counts: plays and skips
// are added, a non-zero last-played time, last-skipped time or rating replaces the database's.
void mergePlayCounts(const std::vector<PlayCountEntry> &entries, MusicLibrary &library, int32_t first);

// Reads the "Play Counts" file in `databaseFolder` (matched without regard to case), when there
// is one, into songs [first, SongCount). A file that is damaged, or whose entry count is not the
// number of songs, is reported; what could be read is merged all the same.
void LoadPlayCounts(const QString &databaseFolder, MusicLibrary &library, int32_t first, LoadReport &report);

// Reads a shuffle's "iTunesStats" file in `databaseFolder`, when there is one, into songs
// [first, SongCount) (the song list's order), reporting it as LoadPlayCounts does.
void LoadShuffleStats(const QString &databaseFolder, bool chunked, MusicLibrary &library, int32_t first,
                      LoadReport &report);

} // namespace corvanel::itunesdb
