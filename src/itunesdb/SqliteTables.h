#pragma once
// The rows the nano 6G/7G library reader takes from the SQLite tables. iTunes writes many
// more columns; only these are read, and a column a table lacks reads as NULL.
#include "SqliteDatabase.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace corvanel::itunesdb {

// What happened to one table: why it could not be read, or stopped part-way (the rows read
// before stay), and which of the wanted columns it lacks.
struct TableRead
{
    std::optional<QString> failure;
    QStringList missing;
};

// Library.itdb "item": one song.
struct ItemRow
{
    int64_t pid = 0;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<int64_t> genreId; // into "genre_map"
    int64_t trackNumber = 0;
    double lengthMs = 0;             // "total_time_ms" is a REAL
    std::optional<int64_t> position; // "physical_order": the library's own order
};
TableRead readItems(SqliteDatabase &db, std::vector<ItemRow> &rows);

// Library.itdb "container": one playlist.
struct ContainerRow
{
    int64_t pid = 0;
    std::optional<QString> name;
    std::optional<int64_t> nameOrder; // where iTunes lists it
};
TableRead readContainers(SqliteDatabase &db, std::vector<ContainerRow> &rows);

// Library.itdb "item_to_container": a song's place in a playlist.
struct MemberRow
{
    int64_t containerPid = 0;
    int64_t itemPid = 0;
    std::optional<int64_t> position; // "physical_order" within the playlist
};
// The rows of the playlist `skipped` are left out.
TableRead readMembers(SqliteDatabase &db, std::vector<MemberRow> &rows, std::optional<int64_t> skipped = {});

// Library.itdb "db_info": the playlist that is the library itself (it bears the iPod's name).
TableRead readPrimaryContainer(SqliteDatabase &db, std::optional<int64_t> &pid);

// An id -> text table: "genre_map" (id, genre) or "location_kind_map" (id, kind).
TableRead readNames(SqliteDatabase &db, const QString &table, const char *column, QHash<int64_t, QString> &names);

// Locations.itdb "location": a song's file, relative to iPod_Control/Music ("F00/ABCD.mp3").
struct LocationRow
{
    QString path;                  // as the iTunesDB gives it: \iPod_Control\Music\F00\ABCD.mp3
    std::optional<int64_t> kindId; // into Library.itdb "location_kind_map"
};
// Dynamic.itdb "item_stats": a song's plays, skips and rating. Times count seconds from
// 2001-01-01 UTC; 0 or less means never.
struct StatsRow
{
    int64_t plays = 0;       // "play_count_user": every play the library knows of
    int64_t recentPlays = 0; // "play_count_recent": of those, the plays since the last sync
    int64_t skips = 0;
    int64_t lastPlayed = 0;
    int64_t lastSkipped = 0;
    int64_t rating = 0; // 0..100
};
// The first row for each song. A database without the table gives no rows and no failure.
TableRead readStats(SqliteDatabase &db, QHash<int64_t, StatsRow> &rows);

// The first row with a location for each song (a song's row may hold an empty path: none).
TableRead readLocations(SqliteDatabase &db, QHash<int64_t, LocationRow> &rows);
// "F00/ABCD.mp3" below the Music folder becomes \iPod_Control\Music\F00\ABCD.mp3, the form the
// iTunesDB gives; a location that starts at iPod_Control keeps its folders. Empty for none.
QString storedSongPath(std::string_view location);

} // namespace corvanel::itunesdb
