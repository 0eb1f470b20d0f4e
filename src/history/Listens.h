#pragma once
// The plays an iPod recorded since its last sync, one listen per play, and the files that carry
// them to scrobbling services.
#include <MusicLibrary.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvanel::history {

using namespace corvanel::library;

struct Listen
{
    QString artist;
    QString album;
    QString title;
    int32_t trackNumber = 0;
    int32_t lengthSeconds = 0;
    int64_t playedAt = 0; // Unix seconds, UTC
};

struct SongListens
{
    std::vector<Listen> listens; // oldest first
    int undated = 0;             // plays of songs without a last-played time: they cannot be placed
};

// A song played n times since the sync gives n listens: the last at its last-played time, each
// earlier one the song's length before the next.
SongListens listensSinceSync(const MusicLibrary &library);

enum class ListenFormat { ScrobblerLog, ListenBrainz, Csv };

// "scrobbler-log", "listenbrainz" or "csv".
std::optional<ListenFormat> listenFormatNamed(const QString &name);
// By a file name's extension: ".json" ListenBrainz, ".csv" CSV, anything else the log.
ListenFormat listenFormatForFile(const QString &path);

// The listens as an Audioscrobbler 1.1 log (times in UTC), a ListenBrainz import document or CSV.
QByteArray formatListens(const std::vector<Listen> &listens, ListenFormat format, const QString &clientVersion);

} // namespace corvanel::history
