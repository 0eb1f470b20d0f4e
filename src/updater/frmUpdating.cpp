#include "frmUpdating.h"

#include "UpdaterCore.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QVBoxLayout>

#include <signal.h>

namespace corvanel::updater {

namespace {
constexpr int kEndPollMs = 25;
}

frmUpdating::frmUpdating(QString folder, QString commandLine, UpdatingHooks hooks, QWidget *parent)
    : QWidget(parent), m_folder(std::move(folder)), m_commandLine(std::move(commandLine)), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("frmUpdating"));
    setWindowTitle(QStringLiteral("Updater"));
    setStyleSheet(QStringLiteral("QWidget#frmUpdating { background: #1f2329; }"
                                 "QLabel { color: #e8ecf2; font-family: Verdana, 'DejaVu Sans', sans-serif;"
                                 " font-size: 10pt; }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    Label1 = new QLabel(QStringLiteral("Please wait, updating Corvanel"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);
    setFixedSize(320, 80);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    Timer1.setInterval(m_hooks.watchdogMs);
    connect(&Timer1, &QTimer::timeout, this, &frmUpdating::Timer1_Timer);
    m_endPoll.setInterval(kEndPollMs);
    connect(&m_endPoll, &QTimer::timeout, this, &frmUpdating::waitForEnd);
}

QString frmUpdating::failureText()
{
    return QStringLiteral("There was an error while attempting to update Corvanel! Please download the latest "
                          "version from ") +
           QStringLiteral(CORVANEL_WEBSITE);
}

void frmUpdating::Form_Load()
{
    Timer1.start();
    show();
    m_pid = updater::processIdFromArgument(m_commandLine);
    // Only our own program is ended; any other process ID is left alone.
    if (m_pid > 0 && m_pid != QCoreApplication::applicationPid() && updater::isOurProgram(m_pid, m_folder) &&
        ::kill(static_cast<pid_t>(m_pid), SIGTERM) == 0) {
        m_endWaitedMs = 0;
        m_endPoll.start();
        return;
    }
    m_pid = 0;
    QTimer::singleShot(0, this, &frmUpdating::StartThing);
}

void frmUpdating::waitForEnd()
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

void frmUpdating::StartThing()
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
                QTimer::singleShot(m_hooks.retryPauseMs, this, &frmUpdating::StartThing);
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
    QTimer::singleShot(0, this, &frmUpdating::StartThing);
}

void frmUpdating::complete()
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

void frmUpdating::failed()
{
    m_finished = true;
    Timer1.stop();
    if (m_hooks.message)
        m_hooks.message(QStringLiteral("Error!"), failureText());
    finish();
}

void frmUpdating::Timer1_Timer()
{
    if (m_finished)
        return;
    m_endPoll.stop();
    failed();
}

void frmUpdating::finish()
{
    m_endPoll.stop();
    close();
    if (m_hooks.quit)
        m_hooks.quit();
}

} // namespace corvanel::updater
