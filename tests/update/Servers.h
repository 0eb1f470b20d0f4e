#pragma once
// Real servers for the download tests, started on 127.0.0.1 at free ports on first use and
// stopped by their process IDs when the test program ends: an origin (python3 -m
// http.server), a scripted origin and SOCKS4a proxy, danted (SOCKS4/5, with and without
// login) and tinyproxy (HTTP proxy).
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <expected>
#include <functional>
#include <memory>

// A child process that is ended by its own process ID, and also when the test program dies.
class ManagedProcess
{
public:
    ManagedProcess() = default;
    ~ManagedProcess() { stop(); }
    ManagedProcess(const ManagedProcess &) = delete;
    ManagedProcess &operator=(const ManagedProcess &) = delete;

    // A guarded process ends by itself when its input closes (see stop()).
    bool start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment = {},
               bool guarded = false);
    void stop();
    bool running() const { return m_process && m_process->state() == QProcess::Running; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    // Everything the process wrote so far (standard output and error together).
    QString output();
    // Output goes to this file instead of a pipe: programs the process starts inherit it and
    // can still write to it after the process has ended.
    void setOutputFile(const QString &path) { m_outputFile = path; }
    QProcess *process() { return m_process.get(); }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
    QString m_outputFile;
    bool m_guarded = false;
};

// Bytes (seed + i) mod 256; the scripted server's bodies are those of seed 0.
QByteArray pattern(int size, int seed = 0);
int freePort();
bool waitForPort(int port, int timeoutMs);
// Runs the event loop until done() holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);

class TestServers
{
public:
    static TestServers &instance();

    // The origin's document root; files written there are served at once.
    QString originRoot();
    std::expected<int, QString> origin();
    std::expected<int, QString> scripted();
    std::expected<int, QString> danted();
    // Login "corvproxy" / "s3cret".
    std::expected<int, QString> dantedWithLogin();
    std::expected<int, QString> tinyproxy();

    void stopAll();

private:
    TestServers();
    std::expected<int, QString> startDanted(bool withLogin, ManagedProcess &process, int &port);

    QTemporaryDir m_dir;
    ManagedProcess m_origin, m_scripted, m_danted, m_dantedLogin, m_tinyproxy;
    int m_originPort = 0, m_scriptedPort = 0, m_dantedPort = 0, m_dantedLoginPort = 0, m_tinyproxyPort = 0;
};

// Asserts inside a test that a server is up, with the reason when it is not.
#define REQUIRE_SERVER(var, expr)                                                                                      \
    const auto var##Result = (expr);                                                                                   \
    ASSERT_TRUE(var##Result.has_value()) << qPrintable(var##Result.error());                                           \
    const int var = *var##Result
