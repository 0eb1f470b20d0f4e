#pragma once
// The player as the desktop sees it: the MPRIS interfaces (org.mpris.MediaPlayer2 and its
// Player) on the session bus, so that media keys, panels and playerctl drive the embedded
// player. Every method does what the player's own button does; the state comes from the
// player's signals.
#include "PlayerController.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace corvanel::app {

class MprisService : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kServiceName = "org.mpris.MediaPlayer2.corvanel";
    static constexpr const char *kObjectPath = "/org/mpris/MediaPlayer2";

    // What the service asks of the program around the player.
    struct Hooks
    {
        std::function<void()> raise;
        std::function<void()> quit;
        std::function<bool()> boxOpen; // a box waits for the user: the buttons wait too
    };

    MprisService(PlayerController &player, Hooks hooks, QObject *parent = nullptr);
    ~MprisService() override;

    // Offers the player on the bus. False, with nothing left on the bus, when there is no bus
    // or another program holds the name.
    bool start(const QDBusConnection &bus);
    bool active() const { return m_active; }

    // The properties, as the interfaces give them.
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qint64 position() const; // microseconds
    double volume() const;   // 0..1
    void setVolume(double volume);
    bool canSeek() const;
    QDBusObjectPath trackId() const;

    // The methods. The work runs from the event loop, after the call is answered: a box it
    // shows never holds the caller.
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    void seek(qint64 offset);
    void setPosition(const QDBusObjectPath &track, qint64 position);
    void raise();
    void quit();

signals:
    void seeked(qint64 position);

private:
    struct Announced
    {
        QString status;
        QVariantMap metadata;
        double volume = -1;
        bool canSeek = false;
    };

    void later(std::function<void()> work);
    // Changes are told once the player's step is over: a song change passes through a
    // pause, which the desktop need not see.
    void announceChanges();
    void announceNow();
    void propertiesChanged(const QString &interface, const QVariantMap &changed);
    qint64 lengthMicroseconds() const;
    void seekToMicroseconds(qint64 position);

    PlayerController &m_player;
    Hooks m_hooks;
    QDBusConnection m_bus;
    bool m_active = false;
    bool m_announceQueued = false;
    bool m_pauseShown = false;
    bool m_stopped = true; // nothing started, Stop, or the end of the list
    bool m_songShown = false;
    PlayerController::NowPlaying m_song;
    QString m_file;
    Announced m_announced;
};

} // namespace corvanel::app
