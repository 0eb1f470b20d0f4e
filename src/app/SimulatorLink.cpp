#include "SimulatorLink.h"

#include "CoverView.h"
#include "EmbeddedPlayer.h"
#include "SongBrowser.h"
#include "frmMain.h"

namespace corvanel::app {

namespace {

SongBrowser::Level levelOf(SimulatorLink::List list)
{
    switch (list) {
    case SimulatorLink::List::Source:
        return SongBrowser::Source;
    case SimulatorLink::List::Genre:
        return SongBrowser::Genre;
    case SimulatorLink::List::Artist:
        return SongBrowser::Artist;
    case SimulatorLink::List::Album:
        break;
    }
    return SongBrowser::Album;
}

} // namespace

QStringList SimulatorLink::entries(List list) const
{
    return m_window.browser().list(levelOf(list)).rows;
}

QList<int> SimulatorLink::playlistSources() const
{
    const std::vector<int> &rows = m_window.browser().playlistRows();
    return QList<int>(rows.begin(), rows.end());
}

void SimulatorLink::SelectOneVal(List list, int Val)
{
    m_window.browser().SelectOneVal(levelOf(list), Val);
}

int SimulatorLink::songCount() const
{
    return m_window.songModel().rowCount();
}

QString SimulatorLink::songTitle(int row) const
{
    return m_window.songModel().text(row, SongCatalog::ColTitle);
}

void SimulatorLink::playSong(int row)
{
    if (row < 0 || row >= songCount())
        return;
    m_chosen = m_window.songModel().text(row, SongCatalog::ColSongId).toDouble();
    m_window.selectSongRow(row);
    m_window.lstSong_DblClick();
}

SimulatorLink::NowPlaying SimulatorLink::nowPlaying() const
{
    NowPlaying now;
    now.title = m_window.lblTitle->text();
    now.artist = m_window.lblArtist->text();
    now.album = m_window.lblAlbum->text();
    const std::optional<double> shown = m_window.player().nowPlayingSongId();
    now.playing = shown.has_value();
    now.chosen = shown && shown == m_chosen;
    const MeterBar *bar = m_window.player().PicPosition;
    now.position = bar->scaleWidth() > 0 ? static_cast<double>(bar->shapeWidth()) / bar->scaleWidth() : 0.0;
    now.cover = m_window.picCover->cover();
    return now;
}

void SimulatorLink::hideBrowser()
{
    m_window.hide();
}

void SimulatorLink::showBrowser()
{
    m_window.mnuShow_Click();
}

void SimulatorLink::closeBrowser()
{
    m_window.close();
}

} // namespace corvanel::app
