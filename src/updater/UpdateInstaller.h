#pragma once
// The Updater's work, without its window: ends the main program, installs every ".new" file of
// the program folder over its target and starts the main program again. A watchdog ends a run
// that stalls.
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace corvanel::updater {

struct UpdatingHooks
{
    // An information box with an OK button.
    std::function<void(const QString &title, const QString &text)> message;
    // Starts a program without arguments.
    std::function<bool(const QString &program)> startProgram;
    // Ends the Updater.
    std::function<void()> quit;
    // How long the main program has to end after being asked, before it is killed.
    int endGraceMs = 3000;
    // The pause between attempts to replace the busy main program.
    int retryPauseMs = 200;
    // The watchdog.
    int watchdogMs = 10000;
};

class UpdateInstaller : public QObject
{
    Q_OBJECT

public:
    UpdateInstaller(QString folder, QString commandLine, UpdatingHooks hooks, QObject *parent = nullptr);

    // The watchdog, started with the run.
    QTimer Timer1;

    // Ends the main program named by the command line, then replaces the files.
    void start();
    // Failed copies of the main program in this run.
    int retryCount() const { return m_retries; }
    // The failure message's text.
    static QString failureText();

signals:
    // The run is over (complete or failed); the hooks' quit follows.
    void finished();

private slots:
    void Timer1_Timer();

private:
    void waitForEnd();
    void StartThing();
    void complete();
    void failed();
    void finish();

    QString m_folder;
    QString m_commandLine;
    UpdatingHooks m_hooks;
    qint64 m_pid = 0;
    int m_retries = 0;
    bool m_killed = false;
    bool m_finished = false;
    QTimer m_endPoll;
    int m_endWaitedMs = 0;
};

} // namespace corvanel::updater
