#pragma once
// File work on the iPod off the UI thread: a disk that has spun down can take seconds to
// answer. The work's result is handed to a callback on the owner's thread; destroying the task
// waits for work still running, so the work never outlives what it reports to.
#include <QObject>

#include <memory>
#include <thread>
#include <utility>

namespace corvanel::device {

class BackgroundTask : public QObject
{
public:
    using QObject::QObject;
    ~BackgroundTask() override { join(); }

    bool running() const { return m_worker.joinable(); }

    // Runs work() on a worker thread, then done(result) on this object's thread.
    template <typename Work, typename Done> void run(Work work, Done done)
    {
        join();
        m_worker = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
            auto result = std::make_shared<decltype(work())>(work());
            QMetaObject::invokeMethod(this, [this, result, done]() mutable {
                join();
                done(std::move(*result));
            });
        });
    }

private:
    void join()
    {
        if (m_worker.joinable())
            m_worker.join();
    }

    std::thread m_worker;
};

} // namespace corvanel::device
