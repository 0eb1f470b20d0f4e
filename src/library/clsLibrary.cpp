#include "clsLibrary.h"
#include "MusicLibrary.h"

namespace corvanel::library {

std::expected<void, LibraryError> clsLibrary::FillMiniDatabase()
{
    m_summaries.clear();
    for (int32_t p = 1; p < m_library.PlaylistCount; ++p) {
        const clsPlayList &playlist = *m_library.Playlists[static_cast<std::size_t>(p)];
        PlaylistSummary summary;
        summary.name = playlist.Name;
        for (const QString &id : playlist.SongIDs.items()) {
            if (const auto index = m_library.indexOf(id); !index)
                return std::unexpected(index.error());
            ++summary.songs;
        }
        m_summaries.push_back(std::move(summary));
    }
    return {};
}

} // namespace corvanel::library
