#include "mdlEject.h"

#include "Dialogs.h"
#include "UDisksClient.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QEventLoop>
#include <QGuiApplication>

#include <mutex>

namespace corvanel::device {

using namespace corvanel::platform;
namespace {

std::mutex busMutex;
QString &busAddress()
{
    static QString address;
    return address;
}

QDBusConnection deviceBus()
{
    const QString address = deviceBusAddress();
    if (address.isEmpty())
        return QDBusConnection::systemBus();
    // One named connection per address, so that a new private bus gets a new connection.
    return QDBusConnection::connectToBus(address, QStringLiteral("corvanel-device ") + address);
}

bool haveCursor()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

void setDeviceBusAddress(const QString &address)
{
    const std::lock_guard lock(busMutex);
    busAddress() = address;
}

QString deviceBusAddress()
{
    const std::lock_guard lock(busMutex);
    return busAddress();
}

QString defaultProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool RunningFromiPod(const QString &drive, const QString &programFolder)
{
    return programFolder.contains(drive, Qt::CaseInsensitive);
}

bool SendDeviceControl(const QString &drive, uint32_t code)
{
    QString folder = drive.trimmed();
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (code != IOCTL_STORAGE_EJECT_MEDIA || folder.isEmpty())
        return false;
    const EjectOutcome outcome = UDisksClient(deviceBus()).eject(folder);
    if (!outcome.error.isEmpty())
        qInfo("The iPod at %s was not ejected: %s", qPrintable(folder), qPrintable(outcome.error));
    return outcome.unmounted && outcome.ejected;
}

EjectJob::EjectJob(QObject *parent) : QObject(parent) {}

EjectJob::~EjectJob()
{
    join();
}

bool EjectJob::start(const QString &drive, const QString &programFolder)
{
    if (RunningFromiPod(drive, programFolder)) {
        dialogs().message({QStringLiteral("Corvanel"),
                           QStringLiteral("Sorry but Corvanel cannot eject your iPod as it is being run off it! Please "
                                          "copy Corvanel to another location off the iPod before attempting to ejet "
                                          "the iPod."),
                           MessageIcon::None, MessageButtons::Ok});
        return false;
    }
    join();
    if (haveCursor())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    m_worker = std::thread([this, drive] {
        const bool ejected = SendDeviceControl(drive, IOCTL_STORAGE_EJECT_MEDIA);
        m_result = ejected;
        QMetaObject::invokeMethod(this, [this, ejected] {
            if (!running())
                return; // already settled by wait()
            join();
            emit finished(ejected);
        });
    });
    return true;
}

void EjectJob::join()
{
    if (!m_worker.joinable())
        return;
    m_worker.join();
    if (haveCursor())
        QGuiApplication::restoreOverrideCursor();
}

bool EjectJob::wait()
{
    if (running()) {
        QEventLoop loop;
        connect(this, &EjectJob::finished, &loop, &QEventLoop::quit);
        if (running())
            loop.exec();
        // The loop also ends when the application quits; the eject is waited for all the same.
        join();
    }
    return m_result;
}

void EjectiPod(const QString &drive, QObject *owner, std::function<void()> done, const QString &programFolder)
{
    auto *job = new EjectJob(owner);
    QObject::connect(job, &EjectJob::finished, job, [job, done] {
        job->deleteLater();
        if (done)
            done();
    });
    if (!job->start(drive, programFolder)) {
        delete job;
        if (done)
            done();
    }
}

void EjectiPodAndWait(const QString &drive, const QString &programFolder)
{
    EjectJob job;
    if (job.start(drive, programFolder))
        job.wait();
}

} // namespace corvanel::device
