#pragma once
// A library filled straight from a generated database, for benchmarks that measure what
// comes after loading.
#include "IpodBuilder.h"
#include "MusicLibrary.h"

#include <memory>

using namespace corvanel;
using namespace corvanel::library;

inline std::unique_ptr<MusicLibrary> libraryFromDatabase(const mkipod::Database &db, const QString &drive)
{
    auto library = std::make_unique<MusicLibrary>();
    library->iPodName = QStringLiteral("Benchmark iPod");
    library->iPodDrive = drive;
    for (const mkipod::Track &t : db.tracks) {
        Song &song = library->addSong();
        song.SongID = t.id;
        song.Title = t.title.value_or(QString());
        song.Artist = t.artist.value_or(QString());
        song.Album = t.album.value_or(QString());
        song.Genre = t.genre.value_or(QString());
        song.Path = t.location.value_or(QString()).replace(QLatin1Char(':'), QLatin1Char('\\'));
        song.FileType = t.fileType.value_or(QString());
        song.TrackNumber = t.trackNumber;
        song.Length = t.lengthMs;
        song.FileSize = t.sizeBytes;
        library->SongIndex.insert(songIdText(song.SongID), library->SongCount - 1);
    }
    for (std::size_t p = 0; p < db.playlists.size(); ++p) {
        clsPlayList &playlist = library->addPlaylist();
        playlist.Name = p == 0 ? QStringLiteral(":: Benchmark iPod ::") : db.playlists[p].name;
        for (int32_t id : db.playlists[p].trackIds)
            playlist.SongIDs.AddItem(QString::number(id));
    }
    return library;
}
