#pragma once
// The simulator's "Now Playing" screen: the playing song's cover (or a placeholder), its title,
// artist and album, and a bar of how far it has played, on the iPod's screen.
#include "BrowserLink.h"

#include <QColor>
#include <QWidget>

namespace corvanel::skin {
class CoverView;
}

namespace corvanel::simulator {

class NowPlayingScreen : public QWidget
{
    Q_OBJECT
public:
    explicit NowPlayingScreen(QWidget *parent = nullptr);

    void setNowPlaying(const BrowserLink::NowPlaying &now);
    void setScreenColor(const QColor &color);
    const BrowserLink::NowPlaying &nowPlaying() const { return m_now; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    BrowserLink::NowPlaying m_now;
    QColor m_screen;
    corvanel::skin::CoverView *m_cover = nullptr;
};

} // namespace corvanel::simulator
