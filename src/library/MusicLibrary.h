#pragma once
#include "LibraryError.h"
#include "Song.h"
#include "clsLibrary.h"
#include "clsPlayList.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <expected>
#include <memory>
#include <vector>

namespace corvanel::library {

// Information codes of GetSongInfo.
enum SongInfo : int { InfoTitle = 1, InfoArtist = 2, InfoAlbum = 3, InfoGenre = 4, InfoIndex = 99 };

// The one library of a run: filled once by the loader, read-only afterwards.
class MusicLibrary
{
public:
    std::vector<Song> Songs; // Songs.size() == SongCount
    int32_t SongCount = 0;
    std::vector<std::unique_ptr<clsPlayList>> Playlists; // [0] is the master playlist
    int32_t PlaylistCount = 0;
    QHash<QString, int32_t> SongIndex; // track id text -> index in Songs
    QString iPodDrive;                 // the iPod's mount folder, no trailing "/"
    QString iPodName;
    std::unique_ptr<clsLibrary> Library;

    // Returns the song's title (1), artist (2), album (3), genre (4) or index text (99).
    // Any other code gives the empty string. An id the library does not hold is an error.
    std::expected<QString, LibraryError> GetSongInfo(const QString &SongID, int InfoType) const;
    // The index of a song by id text, or an error for an id the library does not hold.
    std::expected<int32_t, LibraryError> indexOf(const QString &SongID) const;

    Song &addSong();
    clsPlayList &addPlaylist();
    void clear();
};

// The program-wide library.
MusicLibrary &theLibrary();

// The track id as the library writes it: decimal text without spaces.
QString songIdText(double SongID);

} // namespace corvanel::library
