#include "MprisService.h"

#include "MprisAdaptors.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaObject>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace corvanel::app {

namespace {
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// An object path element holds letters, digits and underscores only.
QString pathElement(const QString &text)
{
    QString element;
    for (const QChar c : text)
        element += (c.isLetterOrNumber() && c.unicode() < 128) ? c : QLatin1Char('_');
    return element.isEmpty() ? QStringLiteral("none") : element;
}
} // namespace

MprisService::MprisService(PlayerController &player, Hooks hooks, QObject *parent)
    : QObject(parent), m_player(player), m_hooks(std::move(hooks)), m_bus(QString())
{
    new MprisRootAdaptor(*this);
    new MprisPlayerAdaptor(*this);
    connect(&m_player, &PlayerController::playingShown, this, [this](bool playing) {
        m_pauseShown = playing;
        if (playing)
            m_stopped = false;
        announceChanges();
    });
    connect(&m_player, &PlayerController::nowPlaying, this, [this](const PlayerController::NowPlaying &song) {
        m_song = song;
        m_songShown = true;
        m_file = m_player.CurrentFile;
        m_stopped = false;
        announceChanges();
    });
    connect(&m_player, &PlayerController::nowPlayingCleared, this, [this] {
        m_songShown = false;
        announceChanges();
    });
    connect(&m_player, &PlayerController::stopped, this, [this] {
        m_stopped = true;
        announceChanges();
    });
    // The player's tick: a song that ended by itself, and the volume bars.
    connect(&m_player, &PlayerController::volumeChanged, this, &MprisService::announceChanges);
    connect(&m_player, &PlayerController::seeked, this, [this](double fraction) {
        emit seeked(std::llround(fraction * static_cast<double>(lengthMicroseconds())));
    });
}

MprisService::~MprisService()
{
    if (!m_active)
        return;
    m_bus.unregisterService(QString::fromLatin1(kServiceName));
    m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
}

bool MprisService::start(const QDBusConnection &bus)
{
    if (m_active || !bus.isConnected())
        return m_active;
    m_bus = bus;
    if (!m_bus.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    if (!m_bus.registerService(QString::fromLatin1(kServiceName))) {
        m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    m_active = true;
    m_announced = {playbackStatus(), metadata(), volume(), canSeek()};
    return true;
}

QString MprisService::playbackStatus() const
{
    // Between two songs of continuous play the channel has ended but the list goes on.
    const bool loaded = m_player.songLoaded();
    if (m_stopped)
        return QStringLiteral("Stopped");
    if (m_pauseShown && (loaded || m_player.Playing))
        return QStringLiteral("Playing");
    if (!m_pauseShown && loaded)
        return QStringLiteral("Paused");
    return QStringLiteral("Stopped");
}

QDBusObjectPath MprisService::trackId() const
{
    if (!m_songShown)
        return QDBusObjectPath(kNoTrack);
    return QDBusObjectPath(QStringLiteral("/org/corvanel/song/") + pathElement(m_song.songId));
}

QVariantMap MprisService::metadata() const
{
    QVariantMap map{{QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId())}};
    if (!m_songShown)
        return map;
    map.insert(QStringLiteral("xesam:title"), m_song.title);
    map.insert(QStringLiteral("xesam:artist"), QStringList{m_song.artist});
    map.insert(QStringLiteral("xesam:album"), m_song.album);
    map.insert(QStringLiteral("xesam:genre"), QStringList{m_song.genre});
    if (lengthMicroseconds() > 0)
        map.insert(QStringLiteral("mpris:length"), lengthMicroseconds());
    if (!m_file.isEmpty())
        map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(m_file).toString());
    return map;
}

qint64 MprisService::lengthMicroseconds() const
{
    return m_songShown ? std::max<qint64>(0, m_song.lengthMs.toLongLong()) * 1000 : 0;
}

qint64 MprisService::position() const
{
    return m_songShown ? m_player.positionMs() * 1000 : 0;
}

double MprisService::volume() const
{
    return m_player.volume() / 255.0;
}

void MprisService::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    m_player.setVolume(static_cast<int32_t>(std::lround(std::clamp(volume, 0.0, 1.0) * 255)));
    announceChanges();
}

bool MprisService::canSeek() const
{
    return m_songShown && lengthMicroseconds() > 0 && m_player.songLoaded();
}

void MprisService::later(std::function<void()> work)
{
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)] {
            if (!(m_hooks.boxOpen && m_hooks.boxOpen()))
                work();
        },
        Qt::QueuedConnection);
}

void MprisService::play()
{
    later([this] {
        if (playbackStatus() != QLatin1String("Playing"))
            m_player.picPlay_Click();
    });
}

void MprisService::pause()
{
    later([this] {
        if (playbackStatus() == QLatin1String("Playing"))
            m_player.picPause_Click();
    });
}

void MprisService::playPause()
{
    later([this] {
        if (playbackStatus() == QLatin1String("Playing"))
            m_player.picPause_Click();
        else
            m_player.picPlay_Click();
    });
}

void MprisService::stop()
{
    // Paused at the song's start with continuous play off: Play starts the song again.
    later([this] {
        if (playbackStatus() == QLatin1String("Stopped"))
            return;
        m_player.picPause_Click();
        m_player.Playing = false;
        m_player.seekTo(0);
        m_stopped = true;
        announceChanges();
    });
}

void MprisService::next()
{
    later([this] { m_player.picNext_Click(); });
}

void MprisService::previous()
{
    later([this] { m_player.picPrev_Click(); });
}

void MprisService::seek(qint64 offset)
{
    later([this, offset] {
        if (!canSeek())
            return;
        const qint64 target = std::max<qint64>(0, position() + offset);
        if (target > lengthMicroseconds())
            m_player.picNext_Click(); // past the end: as if the song had ended
        else
            seekToMicroseconds(target);
    });
}

void MprisService::setPosition(const QDBusObjectPath &track, qint64 position)
{
    later([this, track, position] {
        // A request for a song that no longer plays, or past its end, is ignored.
        if (!canSeek() || track != trackId() || position < 0 || position > lengthMicroseconds())
            return;
        seekToMicroseconds(position);
    });
}

void MprisService::seekToMicroseconds(qint64 position)
{
    m_player.seekTo(static_cast<double>(position) / static_cast<double>(lengthMicroseconds()));
}

void MprisService::raise()
{
    later([this] {
        if (m_hooks.raise)
            m_hooks.raise();
    });
}

void MprisService::quit()
{
    later([this] {
        if (m_hooks.quit)
            m_hooks.quit();
    });
}

void MprisService::announceChanges()
{
    if (!m_active || m_announceQueued)
        return;
    m_announceQueued = true;
    QMetaObject::invokeMethod(this, &MprisService::announceNow, Qt::QueuedConnection);
}

void MprisService::announceNow()
{
    m_announceQueued = false;
    if (!m_active)
        return;
    const Announced now{playbackStatus(), metadata(), volume(), canSeek()};
    QVariantMap changed;
    if (now.status != m_announced.status)
        changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.metadata != m_announced.metadata)
        changed.insert(QStringLiteral("Metadata"), now.metadata);
    if (now.volume != m_announced.volume)
        changed.insert(QStringLiteral("Volume"), now.volume);
    if (now.canSeek != m_announced.canSeek)
        changed.insert(QStringLiteral("CanSeek"), now.canSeek);
    m_announced = now;
    if (!changed.isEmpty())
        propertiesChanged(kPlayerInterface, changed);
}

void MprisService::propertiesChanged(const QString &interface, const QVariantMap &changed)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    m_bus.send(signal);
}

} // namespace corvanel::app
