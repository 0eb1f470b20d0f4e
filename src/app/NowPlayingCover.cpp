#include "NowPlayingCover.h"

#include "CoverCache.h"
#include "CoverView.h"

namespace corvanel::app {

NowPlayingCover::NowPlayingCover(const corvanel::library::MusicLibrary &library, corvanel::skin::CoverView &view,
                                 QObject *parent)
    : QObject(parent), m_library(library), m_view(view)
{
}

NowPlayingCover::~NowPlayingCover() = default;

void NowPlayingCover::show(const QString &songId)
{
    const auto index = m_library.indexOf(songId);
    if (!index) {
        clear();
        return;
    }
    const corvanel::library::Song &song = m_library.Songs[static_cast<std::size_t>(*index)];
    if (!m_cache) {
        m_cache = new corvanel::itunesdb::CoverCache(
            std::make_shared<corvanel::itunesdb::ArtworkLibrary>(m_library.iPodDrive),
            corvanel::itunesdb::CoverCache::DefaultBudget, this);
        connect(m_cache, &corvanel::itunesdb::CoverCache::coverReady, this, &NowPlayingCover::showCover);
    }
    m_songId = song.SongID;
    m_playing = true;
    // A cached cover arrives before request() returns; any other keeps the last song's cover
    // off the screen while it is decoded.
    m_view.setCover(m_cache->cached(song));
    m_cache->request(song);
}

void NowPlayingCover::clear()
{
    m_playing = false;
    m_view.setCover(QImage());
}

void NowPlayingCover::showCover(double songId, const QImage &cover)
{
    if (m_playing && songId == m_songId)
        m_view.setCover(cover);
}

} // namespace corvanel::app
