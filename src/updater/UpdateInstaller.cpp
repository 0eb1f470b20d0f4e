#include "UpdateInstaller.h"

#include "UpdaterCore.h"

#include <QCoreApplication>
#include <QFile>

#include <signal.h>

namespace corvanel::updater {

namespace {
constexpr int kEndPollMs = 25;
}

UpdateInstaller::UpdateInstaller(QString folder, QString commandLine, UpdatingHooks hooks, QObject *parent)
    : QObject(parent), m_folder(std::move(folder)), m_commandLine(std::move(commandLine)), m_hooks(std::move(hooks))
{
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    Timer1.setInterval(m_hooks.watchdogMs);
    connect(&Timer1, &QTimer::timeout, this, &UpdateInstaller::Timer1_Timer);
    m_endPoll.setInterval(kEndPollMs);
    connect(&m_endPoll, &QTimer::timeout, this, &UpdateInstaller::waitForEnd);
}

QString UpdateInstaller::failureText()
{
    return QStringLiteral("There was an error while attempting to update Corvanel! Please download the latest "
                          "version from ") +
           QStringLiteral(CORVANEL_WEBSITE);
}

void UpdateInstaller::start()
{
    Timer1.start();
    m_pid = updater::processIdFromArgument(m_commandLine);
    // Only our own program is ended; any other process ID is left alone.
    if (m_pid > 0 && m_pid != QCoreApplication::applicationPid() && updater::isOurProgram(m_pid, m_folder) &&
        ::kill(static_cast<pid_t>(m_pid), SIGTERM) == 0) {
        m_endWaitedMs = 0;
        m_endPoll.start();
        return;
    }
    m_pid = 0;
    QTimer::singleShot(0, this, &UpdateInstaller::StartThing);
}

void UpdateInstaller::waitForEnd()
{
    if (m_finished) {
        m_endPoll.stop();
        return;
    }
    if (!updater::processAlive(m_pid)) {
        m_endPoll.stop();
        StartThing();
        return;
    }
    m_endWaitedMs += kEndPollMs;
    if (!m_killed && m_endWaitedMs >= m_hooks.endGraceMs) {
        m_killed = true;
        if (updater::isOurProgram(m_pid, m_folder))
            ::kill(static_cast<pid_t>(m_pid), SIGKILL);
    }
}

void UpdateInstaller::StartThing()
{
    if (m_finished)
        return;
    const std::optional<QString> name = updater::firstPendingReplacement(m_folder);
    if (!name) {
        complete();
        return;
    }
    const QString source = m_folder + QLatin1Char('/') + *name;
    const QString targetName = name->left(name->size() - 4);
    const QString target = m_folder + QLatin1Char('/') + targetName;
    if (!updater::copyOver(source, target)) {
        // The main program's file may still be busy for a moment after it was ended.
        if (updater::isMainProgram(targetName)) {
            ++m_retries;
            if (m_retries <= 10) {
                QTimer::singleShot(m_hooks.retryPauseMs, this, &UpdateInstaller::StartThing);
                return;
            }
        }
        failed();
        return;
    }
    if (!QFile::remove(source) || QFile::exists(source)) {
        failed();
        return;
    }
    QTimer::singleShot(0, this, &UpdateInstaller::StartThing);
}

void UpdateInstaller::complete()
{
    m_finished = true;
    Timer1.stop();
    if (m_hooks.message)
        m_hooks.message(QStringLiteral("Update Complete!"),
                        QStringLiteral("Corvanel has been updated! Now running new version of Corvanel..."));
    if (m_hooks.startProgram)
        m_hooks.startProgram(m_folder + QLatin1Char('/') + QLatin1String(updater::kMainProgram));
    finish();
}

void UpdateInstaller::failed()
{
    m_finished = true;
    Timer1.stop();
    if (m_hooks.message)
        m_hooks.message(QStringLiteral("Error!"), failureText());
    finish();
}

void UpdateInstaller::Timer1_Timer()
{
    if (m_finished)
        return;
    m_endPoll.stop();
    failed();
}

void UpdateInstaller::finish()
{
    m_endPoll.stop();
    emit finished();
    if (m_hooks.quit)
        m_hooks.quit();
}

} // namespace corvanel::updater
