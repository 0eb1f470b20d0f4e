#pragma once
// The playing song's cover in the main window: asked of the cover cache when a song starts and
// shown when it arrives, the placeholder until then and for songs without one.
#include <MusicLibrary.h>

#include <QImage>
#include <QObject>
#include <QString>
#include <optional>

namespace corvanel::itunesdb {
class CoverCache;
}
namespace corvanel::skin {
class CoverView;
}

namespace corvanel::app {

class NowPlayingCover : public QObject
{
    Q_OBJECT
public:
    NowPlayingCover(const corvanel::library::MusicLibrary &library, corvanel::skin::CoverView &view,
                    QObject *parent = nullptr);
    ~NowPlayingCover() override;

    // The song of this id (as the song list's id column holds it) started.
    void show(const QString &songId);
    // Nothing plays: the placeholder.
    void clear();

    corvanel::itunesdb::CoverCache *cache() const { return m_cache; }
    // The id of the song shown, until the player clears it.
    std::optional<double> songId() const { return m_playing ? std::optional<double>(m_songId) : std::nullopt; }

private:
    void showCover(double songId, const QImage &cover);

    const corvanel::library::MusicLibrary &m_library;
    corvanel::skin::CoverView &m_view;
    corvanel::itunesdb::CoverCache *m_cache = nullptr; // made for the first song
    double m_songId = 0;
    bool m_playing = false;
};

} // namespace corvanel::app
