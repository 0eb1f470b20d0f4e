#pragma once
// A real D-Bus daemon of the test's own, and a stand-in for the desktop's disk service
// (udisks2) on it that lists the disks a test describes and records every call it gets.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>

#include <atomic>
#include <thread>
#include <vector>

// dbus-daemon on a socket in a temporary folder, with a policy that lets anyone own any name.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty() || !m_folder.isValid())
            return;
        const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                   "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>session</type>"
                   "<listen>unix:dir=" +
                   QFile::encodeName(m_folder.path()) +
                   "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        m_daemon.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired() && !m_daemon.canReadLine();)
            m_daemon.waitForReadyRead(100);
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool running() const { return !address.isEmpty(); }

    QString address;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
};

#define CORVANEL_REQUIRE_BUS(bus)                                                                                      \
    do {                                                                                                               \
        if (!(bus).running())                                                                                          \
            GTEST_SKIP() << "dbus-daemon could not be started (package dbus-daemon)";                                  \
    } while (false)

using StandInInterfaces = QMap<QString, QVariantMap>;
using StandInObjects = QMap<QDBusObjectPath, StandInInterfaces>;

// One block device of the stand-in: its drive's object name and where it is mounted.
struct StandInBlock
{
    QString name;  // "sdb1" becomes /org/freedesktop/UDisks2/block_devices/sdb1
    QString drive; // "iPod" becomes /org/freedesktop/UDisks2/drives/iPod; empty for none
    QStringList mountPoints;
};

class UDisksStandIn : public QDBusVirtualObject
{
public:
    explicit UDisksStandIn(const QString &address)
        : m_name(QStringLiteral("udisks stand-in ") + address), m_bus(QDBusConnection::connectToBus(address, m_name))
    {
        qDBusRegisterMetaType<QList<QByteArray>>();
        qDBusRegisterMetaType<StandInInterfaces>();
        qDBusRegisterMetaType<StandInObjects>();
        m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop/UDisks2"), this, QDBusConnection::SubPath);
        registered = m_bus.registerService(QStringLiteral("org.freedesktop.UDisks2"));
    }
    ~UDisksStandIn() override
    {
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/UDisks2"), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(m_name);
    }

    static QString blockPath(const QString &name)
    {
        return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + name;
    }
    static QString drivePath(const QString &name) { return QStringLiteral("/org/freedesktop/UDisks2/drives/") + name; }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (hung)
            return true; // taken, never answered
        const QString member = message.member();
        if (member == QLatin1String("GetManagedObjects")) {
            connection.send(message.createReply(QVariant::fromValue(objects())));
            return true;
        }
        const QString call = member + QLatin1Char(' ') + message.path().section(QLatin1Char('/'), -1);
        calls << call;
        if (refused.contains(call))
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"),
                                                     QStringLiteral("target is busy")));
        else
            connection.send(message.createReply());
        return true;
    }

    std::vector<StandInBlock> blocks;
    QSet<QString> drivesThatPowerOff;
    QSet<QString> refused; // calls answered with an error, as "Unmount sdb1"
    QStringList calls;     // "Unmount sdb1", "Eject iPod", "PowerOff iPod", in order
    bool hung = false;     // no call is ever answered
    bool registered = false;

private:
    StandInObjects objects() const
    {
        StandInObjects all;
        for (const StandInBlock &block : blocks) {
            QList<QByteArray> points;
            for (const QString &point : block.mountPoints)
                points << QFile::encodeName(point) + '\0';
            StandInInterfaces interfaces;
            interfaces[QStringLiteral("org.freedesktop.UDisks2.Block")] = {
                {QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(
                                              block.drive.isEmpty() ? QStringLiteral("/") : drivePath(block.drive)))}};
            interfaces[QStringLiteral("org.freedesktop.UDisks2.Filesystem")] = {
                {QStringLiteral("MountPoints"), QVariant::fromValue(points)}};
            all[QDBusObjectPath(blockPath(block.name))] = interfaces;
            if (!block.drive.isEmpty())
                all[QDBusObjectPath(drivePath(block.drive))][QStringLiteral("org.freedesktop.UDisks2.Drive")] = {
                    {QStringLiteral("CanPowerOff"), drivesThatPowerOff.contains(block.drive)},
                    {QStringLiteral("Ejectable"), true}};
        }
        return all;
    }

    QString m_name;
    QDBusConnection m_bus;
};

// Runs blocking work on a thread of its own while this thread answers D-Bus calls.
template <typename Work> auto offThread(Work work)
{
    std::atomic<bool> done{false};
    decltype(work()) result{};
    std::thread worker([&] {
        result = work();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    worker.join();
    return result;
}
