#pragma once
// The song list's play-history columns, after the catalog's eleven: how often a song was played,
// its rating in stars and when it was last played. They are made from the song when shown.
#include "SongCatalog.h"

#include <QString>
#include <cstdint>

namespace corvanel::app {

class HistoryColumns
{
public:
    enum Column { ColPlays = SongCatalog::ColumnCount, ColRating, ColLastPlayed };
    static constexpr int End = ColLastPlayed + 1; // the song list's column count

    static constexpr bool holds(int column) { return column >= ColPlays && column < End; }
    static QString heading(int column);
    static QString text(const Song &song, int column);
    // Sorting by a column orders songs by this key: counts, stars, times.
    static int64_t sortKey(const Song &song, int column);

    // "★★★☆☆" for 60; empty for an unrated song.
    static QString stars(int32_t rating);
    // The local date and time of a Unix time; empty for 0 (never).
    static QString localTime(int64_t unixSeconds);
};

} // namespace corvanel::app
