#include "DataConnection.h"
#include "Servers.h"
#include "TestFiles.h"

#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

using namespace corvanel;
using namespace corvanel::update;

namespace {

const QStringList kClean{"Connected", "Disconnected"};

QString local(int port, const char *path)
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path));
}

// What a DataConnection reports.
struct Events
{
    explicit Events(DataConnection &connection)
    {
        QObject::connect(&connection, &DataConnection::Connected, [this](int) { ++connected, log << "Connected"; });
        QObject::connect(&connection, &DataConnection::QuerySent, [this](int) { ++querySent; });
        QObject::connect(&connection, &DataConnection::Disconnected, [this](int) {
            ++disconnected;
            log << "Disconnected";
        });
        QObject::connect(&connection, &DataConnection::DownloadFailed, [this](int why, int) {
            failures << why;
            log << QStringLiteral("DownloadFailed(%1)").arg(why);
        });
        QObject::connect(&connection, &DataConnection::BytesReceived, [this](qint64 count, int) { lastCount = count; });
    }
    bool wait(int timeoutMs) const
    {
        return waitUntil([this] { return disconnected > 0 || !failures.isEmpty(); }, timeoutMs);
    }

    QStringList log;
    int connected = 0, querySent = 0, disconnected = 0;
    QList<int> failures;
    qint64 lastCount = -1;
};

// A download of one address; the connection is kept for inspection.
struct Fetch
{
    DataConnection connection;
    Events events{connection};

    explicit Fetch(BodyTarget type = BodyTarget::Memory) { connection.setDownloadType(type); }
    void toFile(const QString &path)
    {
        connection.setDownloadType(BodyTarget::File);
        connection.setUseTempFile(false);
        connection.setFilename(path);
    }
    void viaProxy(ProxyKind kind, int port)
    {
        connection.setProxyType(kind);
        connection.setProxyHostname("127.0.0.1");
        connection.setProxyPort(port);
    }
    bool run(const QString &address, int timeoutMs = 10000)
    {
        connection.FetchURLString(address);
        return events.wait(timeoutMs);
    }
    QByteArray body()
    {
        QByteArray bytes;
        connection.GetBuffer(bytes);
        return bytes;
    }
};

} // namespace

// An unusable address fails at once and opens nothing.
TEST(DataConnectionText, BadAddressesFailAtOnce)
{
    for (const char *bad : {"http://host:0/", "ftp://host/", "http://ho\rst/"}) {
        DataConnection connection;
        Events events(connection);
        connection.FetchURLString(QLatin1String(bad));
        EXPECT_EQ(events.failures, QList<int>{int(DownloadFailure::BadAddress)}) << bad;
        EXPECT_EQ(events.connected, 0);
        EXPECT_EQ(connection.SocketHandle(), -1);
    }
}

TEST(DataConnectionHttp, DownloadsAFileFromARealServer)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.origin());
    const QByteArray contents = pattern(300000);
    ASSERT_TRUE(writeFile(servers.originRoot() + "/file.bin", contents));
    QTemporaryDir dir;
    Fetch fetch;
    fetch.toFile(dir.filePath("file.bin"));
    fetch.connection.setPacketSize(10000);
    ASSERT_TRUE(fetch.run(local(port, "/file.bin")));
    EXPECT_EQ(fetch.events.log, kClean);
    EXPECT_EQ(fetch.events.querySent, 1);
    EXPECT_EQ(fetch.connection.DownloadLength(), contents.size());
    EXPECT_EQ(fetch.events.lastCount, contents.size());
    EXPECT_FALSE(fetch.connection.IsConnected());
    EXPECT_EQ(readFile(dir.filePath("file.bin")), contents);
}

// A full disk is a failure to write the file, whether the bytes fail on their way (a body
// larger than the write buffer) or only when the file is closed (a small one).
TEST(DataConnectionHttp, FullDiskIsNeverAComplete)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.origin());
    ASSERT_TRUE(writeFile(servers.originRoot() + "/small.bin", pattern(5000)));
    ASSERT_TRUE(writeFile(servers.originRoot() + "/large.bin", pattern(600000)));
    for (const char *path : {"/small.bin", "/large.bin"}) {
        Fetch fetch;
        fetch.toFile("/dev/full");
        ASSERT_TRUE(fetch.run(local(port, path))) << path;
        ASSERT_TRUE(waitUntil([&] { return !fetch.connection.IsConnected(); }, 5000)) << path;
        EXPECT_EQ(fetch.events.failures, QList<int>{int(DownloadFailure::CreateFile)}) << path;
        EXPECT_EQ(fetch.events.disconnected, 0) << path;
    }
}

TEST(DataConnectionHttp, WithoutALengthTheBodyRunsToTheClose)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch memory(BodyTarget::Memory);
    ASSERT_TRUE(memory.run(local(port, "/nolength")));
    EXPECT_EQ(memory.events.log, kClean);
    EXPECT_EQ(memory.connection.DownloadLength(), -1);
    EXPECT_EQ(memory.body(), pattern(5000));
}

// 400 of 1000 announced bytes: an early close or a reset is a failure.
TEST(DataConnectionHttp, EarlyCloseAndResetFail)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    for (const char *path : {"/early", "/reset"}) {
        Fetch fetch;
        ASSERT_TRUE(fetch.run(local(port, path))) << path;
        EXPECT_EQ(fetch.events.failures, QList<int>{int(DownloadFailure::ClosedEarly)}) << path;
        EXPECT_EQ(fetch.events.disconnected, 0) << path;
        EXPECT_EQ(fetch.connection.ReceivedBytes(), 400) << path;
    }
}

// A resumed file keeps its first bytes on 206; on 200 the whole body replaces it, however
// long it was.
TEST(DataConnectionHttp, ResumeAnsweredWith206Or200)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    QTemporaryDir dir;
    const QString target = dir.filePath("part.bin");
    const auto resume = [&](const QByteArray &there, const char *path) {
        EXPECT_TRUE(writeFile(target, there));
        auto fetch = std::make_unique<Fetch>();
        fetch->toFile(target);
        fetch->connection.setUseResume(true);
        fetch->connection.setResumeFrom(300);
        EXPECT_TRUE(fetch->run(local(port, path))) << path;
        EXPECT_EQ(fetch->events.log, kClean) << path;
        return fetch;
    };
    EXPECT_EQ(resume(pattern(300), "/resume")->connection.RealReceivedBytes(), 700);
    EXPECT_EQ(readFile(target), pattern(1000));
    resume(QByteArray(1500, 'x'), "/resume200");
    EXPECT_EQ(readFile(target), pattern(1000));
}

TEST(DataConnectionHttp, RedirectsAreFollowed)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.scripted());
    REQUIRE_SERVER(originPort, servers.origin());
    ASSERT_TRUE(writeFile(servers.originRoot() + "/there.txt", "over there"));

    // To another port: the transfer goes on over a new connection, reported once.
    Fetch elsewhere;
    ASSERT_TRUE(elsewhere.run(local(port, "/moved-to/") + QString::number(originPort) + "/there.txt"));
    EXPECT_EQ(elsewhere.events.connected, 1);
    EXPECT_EQ(elsewhere.body(), QByteArray("over there"));
    EXPECT_EQ(elsewhere.connection.Port(), originPort);
}

TEST(DataConnectionHttp, SilentServerAndRefusedConnectionsEnd)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch silent;
    silent.connection.setStallTimeout(300);
    ASSERT_TRUE(silent.run(local(port, "/silent")));
    EXPECT_EQ(silent.events.failures, QList<int>{int(DownloadFailure::ClosedEarly)});
    EXPECT_EQ(silent.events.querySent, 1);

    const int closedPort = freePort();
    Fetch refused;
    ASSERT_TRUE(refused.run(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort)));
    EXPECT_EQ(refused.events.failures, QList<int>{int(DownloadFailure::ConnectHost)});
    EXPECT_EQ(refused.events.connected, 0);

    Fetch proxyRefused;
    proxyRefused.viaProxy(ProxyKind::Http, closedPort);
    ASSERT_TRUE(proxyRefused.run(local(port, "/target")));
    EXPECT_EQ(proxyRefused.events.failures, QList<int>{int(DownloadFailure::ConnectProxy)});

    // A listener whose queue is full never completes a connection: the connect times out.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
    const int fullPort = ntohs(address.sin_port);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(fullPort));
        fillers.back()->waitForConnected(100);
    }
    Fetch unanswered;
    unanswered.connection.setConnectTimeout(300);
    ASSERT_TRUE(unanswered.run(QStringLiteral("http://127.0.0.1:%1/").arg(fullPort), 3000));
    EXPECT_EQ(unanswered.events.failures, QList<int>{int(DownloadFailure::ConnectHost)});
    EXPECT_EQ(unanswered.events.connected, 0);
    ::close(listener);
}

TEST(DataConnectionProxy, HttpProxy)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(origin, servers.origin());
    REQUIRE_SERVER(proxy, servers.tinyproxy());
    ASSERT_TRUE(writeFile(servers.originRoot() + "/proxied.bin", pattern(70000)));
    Fetch fetch;
    fetch.viaProxy(ProxyKind::Http, proxy);
    ASSERT_TRUE(fetch.run(local(origin, "/proxied.bin")));
    EXPECT_EQ(fetch.events.log, kClean);
    EXPECT_EQ(fetch.body(), pattern(70000));
}

TEST(DataConnectionProxy, Socks4And5ThroughDanted)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(origin, servers.origin());
    REQUIRE_SERVER(proxy, servers.danted());
    ASSERT_TRUE(writeFile(servers.originRoot() + "/socks.bin", pattern(50000)));
    struct Case
    {
        ProxyKind type;
        bool remoteDns;
        const char *host;
    };
    for (const Case c : {Case{ProxyKind::Socks4, false, "127.0.0.1"}, Case{ProxyKind::Socks4, false, "localhost"},
                         Case{ProxyKind::Socks5, false, "localhost"}, Case{ProxyKind::Socks5, true, "localhost"}}) {
        Fetch fetch;
        fetch.viaProxy(c.type, proxy);
        fetch.connection.setProxyUseRemoteDNS(c.remoteDns);
        ASSERT_TRUE(fetch.run(QStringLiteral("http://%1:%2/socks.bin").arg(QLatin1String(c.host)).arg(origin)));
        EXPECT_EQ(fetch.events.log, kClean) << int(c.type) << c.remoteDns << c.host;
        EXPECT_EQ(fetch.body(), pattern(50000));
    }
    // A name nobody can resolve goes to the proxy as 255.255.255.255, which refuses it.
    Fetch unknown;
    unknown.viaProxy(ProxyKind::Socks4, proxy);
    ASSERT_TRUE(unknown.run(QStringLiteral("http://no-such-host.invalid:%1/socks.bin").arg(origin)));
    EXPECT_EQ(unknown.events.failures, QList<int>{int(DownloadFailure::ProxyRejected)});
}

TEST(DataConnectionProxy, Socks5LoginThroughDanted)
{
    // The proxy's test user lives in a private mount over /etc/passwd and /etc/shadow.
    if (::geteuid() != 0)
        GTEST_SKIP() << "the SOCKS5 login test needs root";
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(origin, servers.origin());
    REQUIRE_SERVER(proxy, servers.dantedWithLogin());
    ASSERT_TRUE(writeFile(servers.originRoot() + "/login.bin", pattern(20000)));
    const auto attempt = [&](int method, const char *password, bool remoteDns) {
        auto fetch = std::make_unique<Fetch>();
        fetch->viaProxy(ProxyKind::Socks5, proxy);
        fetch->connection.setProxyAuthentication(method);
        fetch->connection.setProxyUsername("corvproxy");
        fetch->connection.setProxyPassword(QLatin1String(password));
        fetch->connection.setProxyUseRemoteDNS(remoteDns);
        EXPECT_TRUE(fetch->run(QStringLiteral("http://localhost:%1/login.bin").arg(origin)));
        return fetch;
    };
    const auto good = attempt(2, "s3cret", true);
    EXPECT_EQ(good->events.disconnected, 1) << qPrintable(good->events.log.join(QLatin1Char(',')));
    EXPECT_EQ(good->body(), pattern(20000));
    EXPECT_EQ(attempt(2, "wrong", false)->events.failures, QList<int>{int(DownloadFailure::ProxyLogin)});
    EXPECT_EQ(attempt(0, "", false)->events.failures, QList<int>{int(DownloadFailure::ProxyMethod)});
}

// danted does not speak SOCKS4a; the scripted server does.
TEST(DataConnectionProxy, Socks4aThroughScriptedProxy)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch fetch;
    fetch.viaProxy(ProxyKind::Socks4, port);
    fetch.connection.setProxyUseRemoteDNS(true);
    fetch.connection.setProxyUsername("tester");
    ASSERT_TRUE(fetch.run(QStringLiteral("http://origin.invalid:%1/target").arg(port)));
    EXPECT_EQ(fetch.events.disconnected, 1);
    EXPECT_EQ(fetch.body(), QByteArray("target body"));
}
