#include "SongNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace corvanel::app {

SongNotifier::SongNotifier(PlayerController &player, const QDBusConnection &bus, Hooks hooks, QObject *parent)
    : QObject(parent), m_player(player), m_bus(bus), m_hooks(std::move(hooks))
{
    connect(&m_player, &PlayerController::nowPlaying, this, &SongNotifier::songChanged);
}

bool SongNotifier::songChanged(const PlayerController::NowPlaying &song)
{
    if (!m_player.Playing || !m_bus.isConnected() || !(m_hooks.enabled && m_hooks.enabled()) ||
        (m_hooks.windowFocused && m_hooks.windowFocused()))
        return false;
    QStringList lines;
    for (const QString &text : {song.artist, song.album})
        if (!text.isEmpty())
            lines << text.toHtmlEscaped(); // the body may be read as markup
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Corvanel") << m_shownId << QStringLiteral("corvanel") << song.title
         << lines.join(QLatin1Char('\n')) << QStringList() << QVariantMap() << -1;
    // Never waited for: the answer only names the notification the next one replaces.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isValid())
            m_shownId = reply.value();
        finished->deleteLater();
    });
    return true;
}

} // namespace corvanel::app
