#include "MusicLibrary.h"

namespace corvanel::library {

MusicLibrary &theLibrary()
{
    static MusicLibrary library;
    return library;
}

QString songIdText(double SongID)
{
    return QString::number(static_cast<qint64>(SongID));
}

std::expected<int32_t, LibraryError> MusicLibrary::indexOf(const QString &SongID) const
{
    const auto it = SongIndex.constFind(SongID.trimmed());
    if (it == SongIndex.constEnd() || *it < 0 || *it >= SongCount)
        return std::unexpected(
            LibraryError{LibraryErrorKind::UnknownSongId, QStringLiteral("No song has the id %1").arg(SongID)});
    return *it;
}

std::expected<QString, LibraryError> MusicLibrary::GetSongInfo(const QString &SongID, int InfoType) const
{
    const auto index = indexOf(SongID);
    if (!index)
        return std::unexpected(index.error());
    const Song &song = Songs[static_cast<std::size_t>(*index)];
    bool ok = false;
    const double value = SongID.trimmed().toDouble(&ok);
    if (!ok || value != song.SongID)
        return QString();
    switch (InfoType) {
    case InfoTitle:
        return song.Title;
    case InfoArtist:
        return song.Artist;
    case InfoAlbum:
        return song.Album;
    case InfoGenre:
        return song.Genre;
    case InfoIndex:
        return QString::number(*index);
    default:
        return QString();
    }
}

Song &MusicLibrary::addSong()
{
    Songs.emplace_back();
    SongCount = static_cast<int32_t>(Songs.size());
    return Songs.back();
}

clsPlayList &MusicLibrary::addPlaylist()
{
    Playlists.push_back(std::make_unique<clsPlayList>());
    PlaylistCount = static_cast<int32_t>(Playlists.size());
    return *Playlists.back();
}

void MusicLibrary::clear()
{
    Songs.clear();
    SongCount = 0;
    Playlists.clear();
    PlaylistCount = 0;
    SongIndex.clear();
    iPodDrive.clear();
    iPodName.clear();
    Library.reset();
}

} // namespace corvanel::library
