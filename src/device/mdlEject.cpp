#include "mdlEject.h"

#include "FolderContainment.h"
#include "UDisksClient.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QEventLoop>
#include <QGuiApplication>

#include <algorithm>
#include <atomic>
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
std::atomic<int> callTimeout{kDeviceCallTimeoutMs};

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

void setDeviceCallTimeout(int milliseconds)
{
    callTimeout = std::clamp(milliseconds, 1, kDeviceCallTimeoutMs);
}

int deviceCallTimeout()
{
    return callTimeout;
}

QString defaultProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool RunningFromiPod(const QString &drive, const QString &programFolder)
{
    return isSameOrInside(programFolder, drive.trimmed());
}

bool SendDeviceControl(const QString &drive, uint32_t code, QString *reason)
{
    QString folder = drive.trimmed();
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    EjectOutcome outcome;
    if (code != IOCTL_STORAGE_EJECT_MEDIA)
        outcome.error = QStringLiteral("the request is not an eject");
    else if (folder.isEmpty())
        outcome.error = QStringLiteral("no iPod was found");
    else
        outcome = UDisksClient(deviceBus(), deviceCallTimeout()).eject(folder);
    const bool ejected = outcome.unmounted && outcome.ejected;
    if (reason)
        *reason = ejected ? QString() : outcome.error;
    return ejected;
}

Message ejectFailedMessage(const QString &reason)
{
    QString text = QStringLiteral("The iPod could not be ejected: ") + reason;
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return {QStringLiteral("Corvanel"), text, MessageIcon::Warning, MessageButtons::Ok};
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
        m_result = SendDeviceControl(drive, IOCTL_STORAGE_EJECT_MEDIA, &m_reason);
        QMetaObject::invokeMethod(this, &EjectJob::settle);
    });
    return true;
}

void EjectJob::settle()
{
    if (!running())
        return; // already settled by wait()
    join();
    if (!m_result)
        dialogs().message(ejectFailedMessage(m_reason));
    emit finished(m_result);
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
        settle();
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
