#pragma once
#include <QString>
#include <cstdint>

namespace corvanel::library {

// One track of the iPod's database.
struct Song
{
    QString Album;
    QString Artist; // "No Artist" when the iPod stores an empty artist
    QString Genre;  // "No Genre" when the iPod stores an empty genre
    QString Path;   // as stored, with "\" separators: \iPod_Control\Music\F00\ABCD.mp3
    QString Title;
    QString FileType;
    double SongID = 0; // the track id, a signed 32-bit value
    int32_t TrackNumber = 0;
    int32_t Length = 0;  // milliseconds
    double FileSize = 0; // bytes as measured on the iPod while loading; 0 when unknown
    // Play history: the database's values with the iPod's plays since the last sync added.
    int32_t PlayCount = 0;
    int32_t SkipCount = 0;
    int32_t Rating = 0;      // 0..100, 20 per star
    int64_t LastPlayed = 0;  // Unix seconds, UTC; 0 when never played
    int64_t LastSkipped = 0; // Unix seconds, UTC; 0 when never skipped
    int32_t RecentPlays = 0; // of PlayCount, the plays since the last sync
    uint64_t DbId = 0;       // the track's database id; the ArtworkDB names songs by it
    uint32_t ArtworkId = 0;  // the id of the track's image in the ArtworkDB; 0 when not linked
};

} // namespace corvanel::library
