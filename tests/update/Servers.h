#pragma once
// Servers for the download tests: a scripted HTTP origin and SOCKS4(a) proxy inside the test
// program, and real proxies (danted for SOCKS4/5 with and without a login, tinyproxy for
// HTTP) started on 127.0.0.1 on first use and stopped by their process IDs at the end.
#include <QHash>
#include <QProcess>
#include <QString>
#include <QTcpServer>
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

// Bytes (seed + i) mod 256.
QByteArray pattern(int size, int seed = 0);
int freePort();
// Runs the event loop until done() holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);

// An HTTP/1.0 origin on 127.0.0.1 that answers from this program's event loop, so only while
// a test waits (waitUntil). Each path has its scripted answer; others get 404. A connection
// whose first byte is 4 is a SOCKS4 or 4a request: it is granted and then carries the HTTP
// request to this server.
class ScriptedServer
{
public:
    // What the server does once its answer is written: close, reset the connection, or say
    // nothing more.
    enum class Then { Close, Reset, Stay };
    struct Answer
    {
        QByteArray bytes;
        Then then = Then::Close;
    };
    // The answer to the request with this header.
    using Script = std::function<Answer(const QByteArray &header)>;

    ScriptedServer();
    int port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port><path>"
    QByteArray url(const QByteArray &path) const;
    void script(const QByteArray &path, Script script) { m_scripts.insert(path, std::move(script)); }
    void script(const QByteArray &path, const Answer &answer)
    {
        script(path, [answer](const QByteArray &) { return answer; });
    }
    // A 200 answer with the body's length.
    void serve(const QByteArray &path, const QByteArray &body) { script(path, {ok(body)}); }
    static QByteArray ok(const QByteArray &body);

private:
    void accept();

    QTcpServer m_server;
    QHash<QByteArray, Script> m_scripts;
};

// The real proxies.
class TestProxies
{
public:
    static TestProxies &instance();

    std::expected<int, QString> danted();
    // Login "corvproxy" / "s3cret".
    std::expected<int, QString> dantedWithLogin();
    std::expected<int, QString> tinyproxy();

    void stopAll();

private:
    std::expected<int, QString> startDanted(bool withLogin, ManagedProcess &process, int &port);

    QTemporaryDir m_dir;
    ManagedProcess m_danted, m_dantedLogin, m_tinyproxy;
    int m_dantedPort = 0, m_dantedLoginPort = 0, m_tinyproxyPort = 0;
};

// Asserts inside a test that a proxy is up, with the reason when it is not.
#define REQUIRE_PROXY(var, expr)                                                                                       \
    const auto var##Result = (expr);                                                                                   \
    ASSERT_TRUE(var##Result.has_value()) << qPrintable(var##Result.error());                                           \
    const int var = *var##Result
