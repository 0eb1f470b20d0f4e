#pragma once
// The simulator's way into the main window: the browser's lists and their selection through
// SongBrowser, the song rows through the song list, playing through the double-click action.
#include "BrowserLink.h"

#include <optional>

namespace corvanel::app {

using namespace corvanel::simulator;

class frmMain;

class SimulatorLink : public corvanel::simulator::BrowserLink
{
public:
    explicit SimulatorLink(frmMain &window) : m_window(window) {}

    QStringList entries(List list) const override;
    QList<int> playlistSources() const override;
    void SelectOneVal(List list, int Val) override;
    int songCount() const override;
    QString songTitle(int row) const override;
    void playSong(int row) override;
    NowPlaying nowPlaying() const override;
    void hideBrowser() override;
    void showBrowser() override;
    void closeBrowser() override;

private:
    frmMain &m_window;
    std::optional<double> m_chosen; // the id of the song last given to playSong
};

} // namespace corvanel::app
