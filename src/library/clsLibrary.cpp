#include "clsLibrary.h"
#include "MusicLibrary.h"

#include <QSet>

namespace corvanel::library {

std::expected<void, LibraryError> clsLibrary::FillMiniDatabase()
{
    m_summaries.clear();
    for (int32_t p = 1; p < m_library.PlaylistCount; ++p) {
        const clsPlayList &playlist = *m_library.Playlists[static_cast<std::size_t>(p)];
        PlaylistSummary summary;
        summary.name = playlist.Name;
        QSet<QString> artists, albums, genres;
        for (const QString &id : playlist.SongIDs.items()) {
            const auto index = m_library.indexOf(id);
            if (!index)
                return std::unexpected(index.error());
            const Song &song = m_library.Songs[static_cast<std::size_t>(*index)];
            artists.insert(song.Artist);
            albums.insert(song.Album);
            genres.insert(song.Genre);
            ++summary.songs;
        }
        summary.distinctArtists = static_cast<int>(artists.size());
        summary.distinctAlbums = static_cast<int>(albums.size());
        summary.distinctGenres = static_cast<int>(genres.size());
        m_summaries.push_back(std::move(summary));
    }
    return {};
}

} // namespace corvanel::library
