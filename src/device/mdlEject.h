#pragma once
// Ejecting the iPod: on request, when the program closes, and refused while the program runs
// from the iPod itself. The eject goes through the desktop's disk service (udisks2) on the
// system bus; tests point it at a private bus.
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

// The program's own folder; replaced by tests.
QString defaultProgramFolder();

// True when the program folder's path contains the drive's text, without regard to case.
bool RunningFromiPod(const QString &drive, const QString &programFolder = defaultProgramFolder());

// Sends one control code to the drive mounted at `drive` (trimmed, one trailing "/" dropped).
// The eject request unmounts the drive's filesystems and then ejects and, where allowed,
// powers off the drive. True when the system accepted it; any other code gives false. Blocks
// until the disk service answers: call it off the UI thread.
bool SendDeviceControl(const QString &drive, uint32_t code);

// One eject, off the UI thread, with the hourglass up while it runs.
class EjectJob : public QObject
{
    Q_OBJECT

public:
    explicit EjectJob(QObject *parent = nullptr);
    // Waits for a running eject (the program may be ending).
    ~EjectJob() override;

    // Shows the refusal and returns false when the program runs from the drive; otherwise
    // starts the eject and returns true. finished follows.
    bool start(const QString &drive, const QString &programFolder = defaultProgramFolder());
    bool running() const { return m_worker.joinable(); }
    // Lets events run until a started eject is over; its result.
    bool wait();

signals:
    void finished(bool ejected);

private:
    void join();

    std::thread m_worker;
    bool m_result = false;
};

// Ejects the drive unless the program runs from it; `done` hears when it is over (also after a
// refusal). The job belongs to `owner`, which waits for it when destroyed.
void EjectiPod(const QString &drive, QObject *owner, std::function<void()> done = {},
               const QString &programFolder = defaultProgramFolder());

// The same, letting events run until the eject is over: for the program's shutdown.
void EjectiPodAndWait(const QString &drive, const QString &programFolder = defaultProgramFolder());

} // namespace corvanel::device
