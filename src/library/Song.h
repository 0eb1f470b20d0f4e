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
    int32_t Length = 0;     // milliseconds
    double FileSize = 0;    // bytes as measured on the iPod while loading; 0 when unknown
    uint64_t DbId = 0;      // the track's database id; the ArtworkDB names songs by it
    uint32_t ArtworkId = 0; // the id of the track's image in the ArtworkDB; 0 when not linked
};

} // namespace corvanel::library
