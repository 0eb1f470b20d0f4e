#include "UDisksClient.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QVariantMap>

#include <algorithm>
#include <vector>

namespace corvanel::device {
namespace {

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString kNoObject = QStringLiteral("/");

struct Filesystem
{
    QString path;  // the block device's object
    QString drive; // its drive's object; "/" when it has none (a loop device, say)
    QStringList mountPoints;
};

// The block devices that carry a filesystem, as the service lists them.
std::vector<Filesystem> filesystems(const ManagedObjects &objects)
{
    std::vector<Filesystem> found;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        if (!it->contains(kFilesystem))
            continue;
        Filesystem fs;
        fs.path = it.key().path();
        fs.drive = it->value(kBlock).value(QStringLiteral("Drive")).value<QDBusObjectPath>().path();
        if (fs.drive.isEmpty())
            fs.drive = kNoObject;
        // MountPoints is "aay": each a zero-terminated file name.
        const QVariant points = it->value(kFilesystem).value(QStringLiteral("MountPoints"));
        QList<QByteArray> names;
        if (points.userType() == qMetaTypeId<QDBusArgument>())
            points.value<QDBusArgument>() >> names;
        else
            names = points.value<QList<QByteArray>>();
        for (QByteArray name : names) {
            while (name.endsWith('\0'))
                name.chop(1);
            if (!name.isEmpty())
                fs.mountPoints << QFile::decodeName(name);
        }
        found.push_back(std::move(fs));
    }
    return found;
}

bool samePlace(const QString &a, const QString &b)
{
    if (QDir::cleanPath(a) == QDir::cleanPath(b))
        return true;
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// Why a call failed, in words for the user.
QString describe(const QDBusError &error)
{
    if (error.type() == QDBusError::ServiceUnknown ||
        error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return QStringLiteral("the desktop's disk service (udisks2) is not running");
    switch (error.type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return QStringLiteral("the desktop's disk service (udisks2) did not answer in time");
    case QDBusError::Disconnected:
        return QStringLiteral("the system bus could not be reached");
    default:
        if (!error.message().isEmpty())
            return error.message();
        return error.name().isEmpty() ? QStringLiteral("the desktop's disk service (udisks2) gave an unexpected answer")
                                      : error.name();
    }
}

bool isMountedAt(const Filesystem &fs, const QString &folder)
{
    for (const QString &point : fs.mountPoints)
        if (samePlace(point, folder))
            return true;
    return false;
}

} // namespace

UDisksClient::UDisksClient(QDBusConnection bus, int timeoutMs) : m_bus(std::move(bus)), m_timeoutMs(timeoutMs)
{
    qDBusRegisterMetaType<Interfaces>();
    qDBusRegisterMetaType<ManagedObjects>();
}

bool UDisksClient::call(const QString &path, const QString &interface, const QString &method, QString &error) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(kUDisksService, path, interface, method);
    message << QVariantMap(); // no options: a busy filesystem is refused, never forced
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return true;
    if (error.isEmpty())
        error = describe(QDBusError(reply));
    return false;
}

EjectOutcome UDisksClient::eject(const QString &mountFolder) const
{
    EjectOutcome outcome;
    if (!m_bus.isConnected()) {
        outcome.error = QStringLiteral("the system bus could not be reached (%1)").arg(m_bus.lastError().message());
        return outcome;
    }
    const QDBusMessage reply =
        m_bus.call(QDBusMessage::createMethodCall(kUDisksService, kUDisksRoot,
                                                  QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                  QStringLiteral("GetManagedObjects")),
                   QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        outcome.error = describe(QDBusError(reply));
        return outcome;
    }
    ManagedObjects objects;
    reply.arguments().constFirst().value<QDBusArgument>() >> objects;
    const std::vector<Filesystem> all = filesystems(objects);
    const auto target =
        std::find_if(all.begin(), all.end(), [&](const Filesystem &fs) { return isMountedAt(fs, mountFolder); });
    if (target == all.end()) {
        outcome.error = QStringLiteral("the disk service knows of no disk mounted at %1").arg(mountFolder);
        return outcome;
    }
    outcome.found = true;
    // The iPod's own filesystem first, then whatever else of the same drive is mounted.
    std::vector<const Filesystem *> toUnmount{&*target};
    for (const Filesystem &fs : all)
        if (&fs != &*target && fs.drive != kNoObject && fs.drive == target->drive && !fs.mountPoints.isEmpty())
            toUnmount.push_back(&fs);
    for (const Filesystem *fs : toUnmount)
        if (!call(fs->path, kFilesystem, QStringLiteral("Unmount"), outcome.error))
            return outcome;
    outcome.unmounted = true;
    if (target->drive == kNoObject) {
        outcome.ejected = true;
        return outcome;
    }
    const bool ejected = call(target->drive, kDrive, QStringLiteral("Eject"), outcome.error);
    const bool canPowerOff =
        objects.value(QDBusObjectPath(target->drive)).value(kDrive).value(QStringLiteral("CanPowerOff")).toBool();
    const bool poweredOff = canPowerOff && call(target->drive, kDrive, QStringLiteral("PowerOff"), outcome.error);
    outcome.ejected = ejected || poweredOff;
    return outcome;
}

} // namespace corvanel::device
