#include "Servers.h"
#include "TestFiles.h"

#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>

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

static bool waitForPort(int port, int timeoutMs)
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

ScriptedServer::ScriptedServer()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        ADD_FAILURE() << "the scripted server cannot listen: " << qPrintable(m_server.errorString());
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
}

QByteArray ScriptedServer::url(const QByteArray &path) const
{
    return "http://127.0.0.1:" + QByteArray::number(port()) + path;
}

QByteArray ScriptedServer::ok(const QByteArray &body)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

void ScriptedServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            // SOCKS4: VN CD PORT(2) IP(4) USERID NUL, and for 4a (IP 0.0.0.x) HOST NUL.
            if (buffer->startsWith('\x04')) {
                const qsizetype user = buffer->size() > 8 ? buffer->indexOf('\0', 8) : -1;
                const bool named = user > 0 && buffer->mid(4, 3) == QByteArray(3, '\0') && buffer->at(7) != 0;
                const qsizetype end = named ? buffer->indexOf('\0', user + 1) : user;
                if (end < 0)
                    return;
                socket->write(QByteArray("\x00\x5a\0\0\0\0\0\0", 8));
                buffer->remove(0, end + 1);
            }
            const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            const QByteArray header = buffer->left(headerEnd);
            buffer->clear();
            const auto found = m_scripts.constFind(header.split(' ').value(1));
            const Answer answer = found != m_scripts.cend()
                                      ? (*found)(header)
                                      : Answer{"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"};
            socket->write(answer.bytes);
            if (answer.then == Then::Close)
                socket->disconnectFromHost();
            else if (answer.then == Then::Reset)
                QTimer::singleShot(50, socket, [socket] {
                    const linger now{1, 0};
                    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
                    socket->abort();
                });
        });
    }
}

namespace {

class ServersEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { TestProxies::instance().stopAll(); }
};

[[maybe_unused]] ::testing::Environment *const g_environment =
    ::testing::AddGlobalTestEnvironment(new ServersEnvironment);

} // namespace

TestProxies &TestProxies::instance()
{
    static TestProxies proxies;
    return proxies;
}

std::expected<int, QString> TestProxies::startDanted(bool withLogin, ManagedProcess &process, int &port)
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

std::expected<int, QString> TestProxies::danted()
{
    return startDanted(false, m_danted, m_dantedPort);
}

std::expected<int, QString> TestProxies::dantedWithLogin()
{
    return startDanted(true, m_dantedLogin, m_dantedLoginPort);
}

std::expected<int, QString> TestProxies::tinyproxy()
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

void TestProxies::stopAll()
{
    m_danted.stop();
    m_dantedLogin.stop();
    m_tinyproxy.stop();
}
