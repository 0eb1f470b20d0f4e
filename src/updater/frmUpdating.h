#pragma once
// The Updater's one window: ends the main program, installs every ".new" file of the program
// folder over its target and starts the main program again.
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

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

class frmUpdating : public QWidget
{
    Q_OBJECT

public:
    frmUpdating(QString folder, QString commandLine, UpdatingHooks hooks, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QTimer Timer1;

    // The window's load: ends the main program, then replaces the files.
    void Form_Load();
    // Failed copies of the main program in this run.
    int retryCount() const { return m_retries; }
    // The failure message's text.
    static QString failureText();

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
