#pragma once
// Ejecting the iPod: on request, when the program closes, and refused while the program runs
// from the iPod itself. The eject goes through the desktop's disk service (udisks2) on the
// system bus; tests point it at a private bus.
#include "Dialogs.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <thread>

namespace corvanel::device {

// The storage control code of an eject request.
inline constexpr uint32_t IOCTL_STORAGE_EJECT_MEDIA = 0x2D4808;

// Where the disk service is reached: the address of a private bus, or empty for the system bus.
void setDeviceBusAddress(const QString &address);
QString deviceBusAddress();

// How long each call to the disk service may take before it is given up; tests shorten it.
inline constexpr int kDeviceCallTimeoutMs = 10000;
void setDeviceCallTimeout(int milliseconds);
int deviceCallTimeout();

// The program's own folder; replaced by tests.
QString defaultProgramFolder();

// True when the program folder is the drive's folder or lies inside it, both compared as
// canonical paths at folder boundaries. An empty drive is no iPod: false.
bool RunningFromiPod(const QString &drive, const QString &programFolder = defaultProgramFolder());

// Sends one control code to the drive mounted at `drive` (trimmed, one trailing "/" dropped).
// The eject request unmounts the drive's filesystems and then ejects and, where allowed,
// powers off the drive. True when the system accepted it; any other code gives false, and
// `reason` (when given) says why in words for the user. Blocks until the disk service answers
// or each call's timeout passes: call it off the UI thread.
bool SendDeviceControl(const QString &drive, uint32_t code, QString *reason = nullptr);

// The box shown when an eject failed: the iPod is still there.
corvanel::platform::Message ejectFailedMessage(const QString &reason);

// One eject, off the UI thread, with the hourglass up while it runs.
class EjectJob : public QObject
{
    Q_OBJECT

public:
    explicit EjectJob(QObject *parent = nullptr);
    // Waits for a running eject (the program may be ending).
    ~EjectJob() override;

    // Shows the refusal and returns false when the program runs from the drive; otherwise
    // starts the eject and returns true. finished follows, after the failure box when the
    // eject failed.
    bool start(const QString &drive, const QString &programFolder = defaultProgramFolder());
    bool running() const { return m_worker.joinable(); }
    // Lets events run until a started eject is over; its result.
    bool wait();

signals:
    void finished(bool ejected);

private:
    void join();
    // Once the eject is over: tells the user of a failure, then emits finished.
    void settle();

    std::thread m_worker;
    bool m_result = false;
    QString m_reason;
};

// Ejects the drive unless the program runs from it; `done` hears when it is over (also after a
// refusal). The job belongs to `owner`, which waits for it when destroyed.
void EjectiPod(const QString &drive, QObject *owner, std::function<void()> done = {},
               const QString &programFolder = defaultProgramFolder());

// The same, letting events run until the eject is over: for the program's shutdown.
void EjectiPodAndWait(const QString &drive, const QString &programFolder = defaultProgramFolder());

} // namespace corvanel::device
