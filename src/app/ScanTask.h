#pragma once
// A long read of the iPod (the database, the songs' tags) on a worker thread, with its status
// text and progress delivered on this object's thread and a way to stop it.
#include "TagScan.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

namespace corvanel::app {

using namespace corvanel::itunesdb;

class ScanTask : public QObject
{
    Q_OBJECT
public:
    explicit ScanTask(QObject *parent = nullptr) : QObject(parent) {}
    ~ScanTask() override; // stops a running scan and waits for it

    // Runs work(control) on a worker thread; `finished` follows on this object's thread.
    // False while a scan runs.
    bool start(std::function<void(const ScanControl &control)> work);
    bool running() const { return m_running; }
    // Asks the running work to stop; it still ends with `finished`.
    void cancel() { m_cancel.store(true); }
    bool cancelRequested() const { return m_cancel.load(); }

signals:
    void statusChanged(const QString &status);
    void progressed(qint64 done, qint64 total);
    void finished();

private:
    void join();

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
};

} // namespace corvanel::app
