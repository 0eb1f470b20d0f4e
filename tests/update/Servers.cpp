#include "Servers.h"
#include "TestFiles.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>

#ifndef UPDATE_TEST_DIR
#error "UPDATE_TEST_DIR must name the folder of the update tests"
#endif

bool ManagedProcess::start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                           bool guarded)
{
    stop();
    m_output.clear();
    m_guarded = guarded;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    if (!m_outputFile.isEmpty()) {
        m_process->setStandardOutputFile(m_outputFile, QIODevice::Append);
        m_process->setStandardErrorFile(m_outputFile, QIODevice::Append);
    }
    if (!environment.isEmpty())
        m_process->setProcessEnvironment(environment);
    // A test program that dies takes its servers with it: directly, or through the end of
    // the guarded process's input.
    if (!guarded)
        m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start(program, arguments);
    return m_process->waitForStarted(5000);
}

void ManagedProcess::stop()
{
    if (!m_process)
        return;
    if (m_guarded && m_process->state() != QProcess::NotRunning) {
        m_process->closeWriteChannel();
        m_process->waitForFinished(5000);
    }
    if (m_process->state() != QProcess::NotRunning) {
        const qint64 id = m_process->processId();
        if (id > 0)
            ::kill(static_cast<pid_t>(id), SIGTERM);
        if (!m_process->waitForFinished(3000) && id > 0) {
            ::kill(static_cast<pid_t>(id), SIGKILL);
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
}

QString ManagedProcess::output()
{
    if (!m_outputFile.isEmpty()) {
        QFile file(m_outputFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }
    if (m_process)
        m_output += m_process->readAll();
    return QString::fromLocal8Bit(m_output);
}

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i + seed) & 0xFF);
    return bytes;
}

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

bool waitForPort(int port, int timeoutMs)
{
    return QTest::qWaitFor(
        [port] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            return probe.waitForConnected(200);
        },
        timeoutMs);
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    return QTest::qWaitFor(done, timeoutMs);
}

namespace {

class ServersEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { TestServers::instance().stopAll(); }
};

[[maybe_unused]] ::testing::Environment *const g_environment =
    ::testing::AddGlobalTestEnvironment(new ServersEnvironment);

} // namespace

TestServers &TestServers::instance()
{
    static TestServers servers;
    return servers;
}

TestServers::TestServers()
{
    QDir().mkpath(m_dir.path() + "/www");
}

QString TestServers::originRoot()
{
    return m_dir.path() + "/www";
}

std::expected<int, QString> TestServers::origin()
{
    if (m_origin.running())
        return m_originPort;
    m_originPort = freePort();
    if (!m_origin.start("python3", {"-u", "-m", "http.server", QString::number(m_originPort), "--bind", "127.0.0.1",
                                    "--directory", originRoot()}))
        return std::unexpected("python3 -m http.server did not start: is python3 installed?");
    if (!waitForPort(m_originPort, 10000))
        return std::unexpected("python3 -m http.server does not listen: " + m_origin.output());
    return m_originPort;
}

std::expected<int, QString> TestServers::scripted()
{
    if (m_scripted.running())
        return m_scriptedPort;
    if (!m_scripted.start("python3", {QStringLiteral(UPDATE_TEST_DIR "/scripted_server.py")}))
        return std::unexpected("the scripted server did not start");
    static const QRegularExpression portLine("PORT (\\d+)");
    QRegularExpressionMatch match;
    const bool ready = waitUntil(
        [&] {
            m_scripted.process()->waitForReadyRead(50);
            match = portLine.match(m_scripted.output());
            return match.hasMatch() || !m_scripted.running();
        },
        10000);
    if (!ready || !match.hasMatch())
        return std::unexpected("the scripted server gave no port: " + m_scripted.output());
    m_scriptedPort = match.captured(1).toInt();
    return m_scriptedPort;
}

std::expected<int, QString> TestServers::startDanted(bool withLogin, ManagedProcess &process, int &port)
{
    if (process.running())
        return port;
    port = freePort();
    const QString name = withLogin ? "danted-login" : "danted";
    const QString config = m_dir.path() + QLatin1Char('/') + name + ".conf";
    const QString text = QStringLiteral("logoutput: stderr\ninternal: 127.0.0.1 port = %1\nexternal: 127.0.0.1\n"
                                        "clientmethod: none\nsocksmethod: %2\nuser.privileged: root\n"
                                        "user.unprivileged: nobody\nclient pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                                        "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n")
                             .arg(port)
                             .arg(QLatin1String(withLogin ? "username" : "none"));
    if (!writeFile(config, text.toUtf8()))
        return std::unexpected("cannot write " + config);
    const QString pidFile = m_dir.path() + QLatin1Char('/') + name + ".pid";
    const QString danted =
        QFile::exists("/usr/sbin/danted") ? "/usr/sbin/danted" : QStandardPaths::findExecutable("danted");
    if (danted.isEmpty())
        return std::unexpected("danted is not installed (Debian package dante-server)");
    // danted gives up its parent-death signal when it changes its user, so a guard shell
    // stays beside it: when the test program closes the guard's input (on stopping, or by
    // dying) the guard ends danted by its process ID.
    const QString guarded =
        QStringLiteral("'%1' -f '%2' -p '%3' & d=$!; read _; kill $d; wait $d").arg(danted, config, pidFile);
    QString script = guarded;
    if (withLogin) {
        // danted checks logins against the system's user database. The test user lives only
        // in a private mount namespace, over copies of /etc/passwd and /etc/shadow.
        QFile passwd("/etc/passwd");
        QFile shadow("/etc/shadow");
        if (!passwd.open(QIODevice::ReadOnly) || !shadow.open(QIODevice::ReadOnly))
            return std::unexpected(QStringLiteral("danted with a login needs to read /etc/passwd and /etc/shadow "
                                                  "(run the tests as root)"));
        QProcess hash;
        hash.start("openssl", {"passwd", "-6", "-salt", "corvanel", "s3cret"});
        if (!hash.waitForFinished(5000) || hash.exitCode() != 0)
            return std::unexpected("openssl passwd failed");
        const QByteArray crypted = hash.readAllStandardOutput().trimmed();
        const QString passwdCopy = m_dir.path() + "/passwd";
        const QString shadowCopy = m_dir.path() + "/shadow";
        if (!writeFile(passwdCopy, passwd.readAll() + "corvproxy:x:64999:65534::/nonexistent:/usr/sbin/nologin\n") ||
            !writeFile(shadowCopy, shadow.readAll() + "corvproxy:" + crypted + ":19000:0:99999:7:::\n"))
            return std::unexpected("cannot write the test user database");
        QFile::setPermissions(shadowCopy, QFile::ReadOwner | QFile::WriteOwner);
        script = QStringLiteral("mount --bind '%1' /etc/passwd && mount --bind '%2' /etc/shadow && { %3; }")
                     .arg(passwdCopy, shadowCopy, guarded);
    }
    const bool started = withLogin ? process.start("unshare", {"-m", "sh", "-c", script}, {}, true)
                                   : process.start("sh", {"-c", script}, {}, true);
    if (!started)
        return std::unexpected("danted did not start");
    if (!waitForPort(port, 10000) || !process.running())
        return std::unexpected(
            QStringLiteral("danted does not listen on 127.0.0.1:%1; its output:\n%2").arg(port).arg(process.output()));
    return port;
}

std::expected<int, QString> TestServers::danted()
{
    return startDanted(false, m_danted, m_dantedPort);
}

std::expected<int, QString> TestServers::dantedWithLogin()
{
    return startDanted(true, m_dantedLogin, m_dantedLoginPort);
}

std::expected<int, QString> TestServers::tinyproxy()
{
    if (m_tinyproxy.running())
        return m_tinyproxyPort;
    m_tinyproxyPort = freePort();
    const QString config = m_dir.path() + "/tinyproxy.conf";
    const QByteArray text = "Port " + QByteArray::number(m_tinyproxyPort) +
                            "\nListen 127.0.0.1\nAllow 127.0.0.1\nMaxClients 20\nTimeout 30\nLogLevel Connect\n";
    if (!writeFile(config, text))
        return std::unexpected("cannot write " + config);
    const QString program = QFile::exists("/usr/bin/tinyproxy") ? "/usr/bin/tinyproxy" : "tinyproxy";
    if (!m_tinyproxy.start(program, {"-d", "-c", config}))
        return std::unexpected("tinyproxy did not start (Debian package tinyproxy)");
    if (!waitForPort(m_tinyproxyPort, 10000) || !m_tinyproxy.running())
        return std::unexpected("tinyproxy does not listen: " + m_tinyproxy.output());
    return m_tinyproxyPort;
}

void TestServers::stopAll()
{
    m_origin.stop();
    m_scripted.stop();
    m_danted.stop();
    m_dantedLogin.stop();
    m_tinyproxy.stop();
}
