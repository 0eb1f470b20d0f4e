#pragma once
// Copying the program onto the iPod, so that it can be run from there: the program folder's
// own files (the program, the Updater, and any shared library beside them) go into the
// iPod's "Corvanel" folder, replacing older copies. The copy runs on a worker thread, and
// writes on the iPod only through IpodFolder: a "Corvanel" that is a link is refused.
#include "Dialogs.h"
#include "IpodFolder.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace corvanel::device {

using namespace corvanel::platform;

inline const QString kiPodProgramFolder = QStringLiteral("Corvanel");

// The files to copy, in order: "corvanel", "updater", then the folder's shared libraries by name.
QStringList programFiles(const QString &programFolder);

// The boxes of the copy.
Message alreadyThereMessage();
Message copiedMessage();
// The failure box: the iPod's folder, the system's error number, and the reason (the system's
// description when empty).
Message copyFailedMessage(const QString &iPodDrive, int error, const QString &reason = QString());

class ProgramCopy : public QObject
{
    Q_OBJECT

public:
    explicit ProgramCopy(QObject *parent = nullptr);
    // Waits for a running copy.
    ~ProgramCopy() override;

    // Starts copying programFolder's files into iPodDrive/Corvanel. Ignored while running.
    void start(const QString &iPodDrive, const QString &programFolder);
    bool running() const { return m_worker.joinable(); }

    // The copy on the calling thread: no error (code 0), or the step that failed. Every file
    // reaches the device before it returns; files copied before a failure stay.
    static IpodError copyNow(const QString &iPodDrive, const QString &programFolder,
                             const std::function<void(int64_t done, int64_t total)> &progress = {});

signals:
    void progress(int64_t done, int64_t total);
    // error is 0 after a complete copy; otherwise reason says why, for the user.
    void finished(int error, const QString &reason);

private:
    void join();

    std::thread m_worker;
};

} // namespace corvanel::device
