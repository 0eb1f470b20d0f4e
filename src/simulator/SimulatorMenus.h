#pragma once
// What the menus of one simulator window share: the menu list they fill, the title they set,
// the menu now shown, and the browser they work on. The window shows the list and the title
// and closes itself on closeRequested.
#include "BrowserLink.h"
#include "MenuListModel.h"
#include "clsiPodMenu.h"

#include <QObject>
#include <QString>

#include <memory>

namespace corvanel::simulator {

class SimulatorMenus : public QObject
{
    Q_OBJECT
public:
    explicit SimulatorMenus(BrowserLink &browser, QObject *parent = nullptr);
    ~SimulatorMenus() override;

    // The menus' part of the window's load: the top menu is made and shown, then each of the
    // browser's lists is set to its first entry.
    void start();

    BrowserLink &browser() { return m_browser; }
    MenuListModel MenuList;
    // The menu shown; nullptr before start.
    clsiPodMenu *CurrentMenu = nullptr;

    const QString &title() const { return m_title; }
    void setTitle(const QString &title);
    // The simulator window is to close ("Sleep", "Quit Corvanel").
    void requestClose() { emit closeRequested(); }
    // A song was chosen and plays: the window shows its "Now Playing" screen.
    void requestNowPlaying() { emit nowPlayingRequested(); }

signals:
    void titleChanged(const QString &title);
    void closeRequested();
    void nowPlayingRequested();

private:
    BrowserLink &m_browser;
    std::unique_ptr<clsiPodMenu> m_top;
    QString m_title = QStringLiteral("iPod");
};

} // namespace corvanel::simulator
