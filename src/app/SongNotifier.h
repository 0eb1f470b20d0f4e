#pragma once
// "Notify on Song Change": while continuous play goes on behind other windows, each new song
// shows one desktop notification (org.freedesktop.Notifications), the next replacing it.
// Nothing is shown while the main window has the focus, or without a notification service.
#include "PlayerController.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>

namespace corvanel::app {

class SongNotifier : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<bool()> enabled;       // the option is checked
        std::function<bool()> windowFocused; // the main window has the focus
    };

    SongNotifier(PlayerController &player, const QDBusConnection &bus, Hooks hooks, QObject *parent = nullptr);

    // Shows the song when a notification is due; true when one was sent.
    bool songChanged(const PlayerController::NowPlaying &song);

private:
    PlayerController &m_player;
    QDBusConnection m_bus;
    Hooks m_hooks;
    uint m_shownId = 0; // the notification to replace
};

} // namespace corvanel::app
