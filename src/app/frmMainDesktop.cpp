#include "frmMain.h"

#include "EmbeddedPlayer.h"
#include "MprisService.h"
#include "SongNotifier.h"
#include "frmMenus.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>

namespace corvanel::app {

void frmMain::connectDesktop()
{
    MprisService::Hooks hooks;
    hooks.raise = [this] { mnuShow_Click(); };
    hooks.quit = [this] { close(); };
    hooks.boxOpen = [] { return QApplication::activeModalWidget() != nullptr; };
    m_mpris = new MprisService(m_player->controller(), std::move(hooks), this);
    // Without a session bus, or with the name taken, the player simply has no remote control.
    m_mpris->start(QDBusConnection::sessionBus());
    SongNotifier::Hooks notify;
    notify.enabled = [this] { return m_menus && m_menus->item(QStringLiteral("mnuNotify"))->isChecked(); };
    notify.windowFocused = [this] { return isActiveWindow(); };
    new SongNotifier(m_player->controller(), QDBusConnection::sessionBus(), std::move(notify), this);
}

} // namespace corvanel::app
