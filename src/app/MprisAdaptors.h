#pragma once
// The two MPRIS interfaces on the bus. They only translate: every property and method is
// MprisService's.
#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

namespace corvanel::app {

class MprisService;

// org.mpris.MediaPlayer2: who the player is, and the window.
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ alwaysTrue)
    Q_PROPERTY(bool CanRaise READ alwaysTrue)
    Q_PROPERTY(bool HasTrackList READ alwaysFalse)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRootAdaptor(MprisService &service);

    bool alwaysTrue() const { return true; }
    bool alwaysFalse() const { return false; }
    QString identity() const { return QStringLiteral("Corvanel"); }
    QString desktopEntry() const { return QStringLiteral("corvanel"); }
    QStringList none() const { return {}; }

public slots:
    void Raise();
    void Quit();

private:
    MprisService &m_service;
};

// org.mpris.MediaPlayer2.Player: the transport, the song and the volume.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ alwaysTrue)
    Q_PROPERTY(bool CanGoPrevious READ alwaysTrue)
    Q_PROPERTY(bool CanPlay READ alwaysTrue)
    Q_PROPERTY(bool CanPause READ alwaysTrue)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ alwaysTrue)
public:
    explicit MprisPlayerAdaptor(MprisService &service);

    QString playbackStatus() const;
    // The player plays at its own speed only; other rates are ignored.
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    bool canSeek() const;
    bool alwaysTrue() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position);
    void OpenUri(const QString &Uri);

signals:
    void Seeked(qlonglong Position);

private:
    MprisService &m_service;
};

} // namespace corvanel::app
