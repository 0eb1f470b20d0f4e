#pragma once
// The iPod interface simulator: a window drawn like an iPod whose menus work on the browser's
// lists. The browser window is hidden while it is open. The wheel is worked by dragging the
// mouse round it; the mouse wheel, the arrow keys, Enter and Escape work as well.
#include "BrowserLink.h"
#include "ScrollWheel.h"
#include "SimulatorMenus.h"

#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>

class QTimer;

namespace corvanel::simulator {

class MenuScreen;
class NowPlayingScreen;
class PodButton;
class ScreenTitle;
class WheelPad;

class frmiPod : public QWidget
{
    Q_OBJECT
public:
    // Loading the window hides the browser and shows the top menu.
    explicit frmiPod(std::unique_ptr<BrowserLink> browser, QWidget *parent = nullptr);
    ~frmiPod() override;

    // The clock whose reading, in milliseconds, the menu button keeps while it is held. Tests
    // replace it; the default is a monotonic clock.
    void setTickSource(std::function<qint64()> source) { m_ticks = std::move(source); }

    SimulatorMenus &menus() { return m_menus; }
    ScrollWheel &wheel() { return m_wheel; }

    ScreenTitle *lblTitle = nullptr;
    MenuScreen *lstMenu = nullptr;
    PodButton *lblMenu = nullptr;
    PodButton *lblSelect = nullptr;
    WheelPad *PicScrollWheel = nullptr;
    QTimer *tmrSleep = nullptr;
    QWidget *picTop = nullptr;
    // Over the menu list while a chosen song plays; the menu button goes back to the list.
    NowPlayingScreen *picNowPlaying = nullptr;
    QTimer *tmrNowPlaying = nullptr;

    void lblMenu_MouseDown();
    void lblMenu_MouseUp();
    void lblSelect_Click();
    // The hold timer's tick: the menu button still held sends "Sleep".
    void tmrSleep_Timer();
    void PicScrollWheel_MouseDown(const QPointF &at);
    void PicScrollWheel_MouseMove(Qt::MouseButtons buttons, const QPointF &at);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void buildControls();
    void showNowPlaying();
    void hideNowPlaying();
    void refreshNowPlaying();
    void Form_Load();
    void RoundWindow(int cornerSize);

    std::unique_ptr<BrowserLink> m_browser;
    SimulatorMenus m_menus;
    ScrollWheel m_wheel;
    std::function<qint64()> m_ticks;
    int m_wheelDelta = 0; // mouse-wheel movement short of a whole notch
    bool m_unloaded = false;
};

} // namespace corvanel::simulator
