#include "ScanTask.h"

namespace corvanel::app {

ScanTask::~ScanTask()
{
    m_cancel.store(true);
    join();
}

void ScanTask::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

bool ScanTask::start(std::function<void(const ScanControl &control)> work)
{
    if (m_running)
        return false;
    join();
    m_running = true;
    m_cancel.store(false);
    m_worker = std::thread([this, work = std::move(work)] {
        // Reports are queued to this object's thread. The object outlives the worker (its
        // destructor waits), and queued calls to an object that is gone are dropped.
        ScanControl control;
        control.status = [this](const QString &text) {
            QMetaObject::invokeMethod(
                this, [this, text] { emit statusChanged(text); }, Qt::QueuedConnection);
        };
        control.progress = [this](qint64 done, qint64 total) {
            QMetaObject::invokeMethod(
                this, [this, done, total] { emit progressed(done, total); }, Qt::QueuedConnection);
        };
        control.cancel = &m_cancel;
        work(control);
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_running = false;
                join();
                emit finished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

} // namespace corvanel::app
