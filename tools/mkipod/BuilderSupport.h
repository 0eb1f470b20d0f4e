#pragma once
// Helpers shared by the iPod builders: messages, whole-file writes, parallel jobs, file names.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace mkipod::detail {

inline bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Written beside the target and renamed over it, so that a reader never sees half a file.
// No sync to disk: these are test and demo files, and syncing 50 MB would dominate the time.
inline bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const QString temporary = path + QStringLiteral(".mkipod-new");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(temporary);
        return fail(error, QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    file.close();
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        return fail(error, QStringLiteral("Cannot replace %1").arg(path));
    }
    return true;
}

// Runs job(i, &message) for i in 0 .. count - 1 on a few threads; the first error wins.
template <typename Job> bool runParallel(int count, Job job, QString *error)
{
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;
    QString firstError;
    auto worker = [&] {
        try {
            for (int i = next++; i < count && !failed; i = next++) {
                QString message;
                if (!job(i, &message)) {
                    std::lock_guard guard(lock);
                    if (!failed.exchange(true))
                        firstError = message;
                }
            }
        } catch (...) {
            std::lock_guard guard(lock);
            if (!failed.exchange(true))
                firstError = QStringLiteral("Unexpected failure while writing files");
        }
    };
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 2, 8);
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread &t : pool)
        t.join();
    if (failed)
        return fail(error, firstError);
    return true;
}

// A four-letter file name as iTunes gives them, unique per number below 26^4.
inline QString fourLetters(uint32_t n)
{
    n = (n * 7919u + 4051u) % (26u * 26u * 26u * 26u); // 7919 is prime to 26: a permutation
    QString s(4, QLatin1Char('A'));
    for (int i = 3; i >= 0; --i) {
        s[i] = QLatin1Char(char('A' + n % 26));
        n /= 26;
    }
    return s;
}

inline QString ipodLocation(int folder, const QString &name, const QString &extension)
{
    return QStringLiteral(":iPod_Control:Music:F%1:%2.%3").arg(folder, 2, 10, QLatin1Char('0')).arg(name, extension);
}

} // namespace mkipod::detail
