#pragma once
// Keeps a second copy of the program from running: a lock file in the user's runtime folder.
#include <QString>
#include <memory>

class QLockFile;

namespace corvanel::platform {

class SingleInstance
{
public:
    // The lock file "corvanel.lock" in the runtime folder (the temporary folder without one).
    SingleInstance();
    // A lock file of one's own choosing, for tests.
    explicit SingleInstance(const QString &lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this object holds the lock now (also when it already did). A lock left by a
    // process that no longer runs is taken over.
    bool tryAcquire();
    bool isHeld() const;
    void release();
    QString lockPath() const { return m_path; }

    static QString defaultLockPath();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace corvanel::platform
