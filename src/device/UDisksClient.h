#pragma once
// Ejecting a mounted disk through udisks2 (the desktop's own disk service) over D-Bus, without
// root: the filesystems of the disk are unmounted first, then the drive is ejected and, where
// it allows it, powered off. The calls block: they belong on a worker thread.
#include <QDBusConnection>
#include <QString>
#include <QStringList>

namespace corvanel::device {

inline const QString kUDisksService = QStringLiteral("org.freedesktop.UDisks2");
inline const QString kUDisksRoot = QStringLiteral("/org/freedesktop/UDisks2");

// How far an eject got.
struct EjectOutcome
{
    bool found = false;     // a filesystem mounted at the folder was found
    bool unmounted = false; // every filesystem of its drive is unmounted
    bool ejected = false;   // the drive took the eject or the power-off (or there is no drive)
    QString error;          // the first refusal, in words for the user
};

class UDisksClient
{
public:
    // Each call is given up after timeoutMs: a hung service never holds the program for long.
    explicit UDisksClient(QDBusConnection bus, int timeoutMs = 10000);

    // 1. the block device whose filesystem is mounted at mountFolder; 2. Filesystem.Unmount of
    // it and of any other mounted filesystem on the same drive; 3. only when all are unmounted,
    // Drive.Eject, then Drive.PowerOff when the drive can be powered off. A refusal at any step
    // ends the eject there, so a volume is never left half-mounted.
    EjectOutcome eject(const QString &mountFolder) const;

private:
    bool call(const QString &path, const QString &interface, const QString &method, QString &error) const;

    QDBusConnection m_bus;
    int m_timeoutMs;
};

} // namespace corvanel::device
