#include "SingleInstance.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace corvanel::platform {

namespace {

// A lock file whose owner cannot be read (an empty or cut file after a crash) counts as
// stale once it is this old; a younger one may be one another copy is still writing.
constexpr qint64 unreadableLockGraceMs = 5000;

} // namespace

SingleInstance::SingleInstance() : SingleInstance(defaultLockPath()) {}

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath), m_lock(std::make_unique<QLockFile>(lockPath))
{
    // A running copy keeps its lock however long it runs; only a dead owner makes it stale.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        folder = QDir::tempPath();
    return folder + QStringLiteral("/corvanel.lock");
}

bool SingleInstance::tryAcquire()
{
    if (m_lock->isLocked())
        return true;
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() != QLockFile::LockFailedError)
        return false;

    qint64 pid = 0;
    QString host;
    QString application;
    if (!m_lock->getLockInfo(&pid, &host, &application)) {
        const QDateTime modified = QFileInfo(m_path).lastModified();
        if (modified.isValid() && modified.msecsTo(QDateTime::currentDateTime()) > unreadableLockGraceMs &&
            m_lock->removeStaleLockFile()) {
            return m_lock->tryLock(0);
        }
    }
    return false;
}

bool SingleInstance::isHeld() const
{
    return m_lock->isLocked();
}

void SingleInstance::release()
{
    if (m_lock->isLocked())
        m_lock->unlock();
}

} // namespace corvanel::platform
