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

TEST(DataConnectionHttp, DownloadsAFileInPackets)
{
    ScriptedServer server;
    const QByteArray contents = pattern(300000);
    server.serve("/file.bin", contents);
    QTemporaryDir dir;
    Fetch fetch;
    fetch.toFile(dir.filePath("file.bin"));
    fetch.connection.setPacketSize(10000);
    ASSERT_TRUE(fetch.run(server.url("/file.bin")));
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
    ScriptedServer server;
    server.serve("/small.bin", pattern(5000));
    server.serve("/large.bin", pattern(600000));
    for (const char *path : {"/small.bin", "/large.bin"}) {
        Fetch fetch;
        fetch.toFile("/dev/full");
        ASSERT_TRUE(fetch.run(server.url(path))) << path;
        ASSERT_TRUE(waitUntil([&] { return !fetch.connection.IsConnected(); }, 5000)) << path;
        EXPECT_EQ(fetch.events.failures, QList<int>{int(DownloadFailure::CreateFile)}) << path;
        EXPECT_EQ(fetch.events.disconnected, 0) << path;
    }
}

// One scripted answer each: a body without a length runs to the close; 400 of 1000 announced
// bytes and a close or reset, or a server that says nothing, is a failure; a redirect to
// another port is followed over a new connection, reported once.
TEST(DataConnectionHttp, ScriptedAnswers)
{
    ScriptedServer server, elsewhere;
    elsewhere.serve("/there.txt", "over there");
    const QByteArray early = "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + pattern(400);
    using Then = ScriptedServer::Then;
    const int closedEarly = int(DownloadFailure::ClosedEarly);
    const struct
    {
        ScriptedServer::Answer answer;
        QList<int> failures;
        qint64 received;
        qint64 length;
        QByteArray body;
        int stallMs = 60000;
    } rows[] = {
        {{"HTTP/1.0 200 OK\r\n\r\n" + pattern(5000)}, {}, 5000, -1, pattern(5000)},
        {{early}, {closedEarly}, 400, 1000, pattern(400)},
        {{early, Then::Reset}, {closedEarly}, 400, 1000, pattern(400)},
        {{{}, Then::Stay}, {closedEarly}, 0, -1, {}, 300},
        {{"HTTP/1.0 302 Found\r\nLocation: " + elsewhere.url("/there.txt") + "\r\n\r\n"}, {}, 10, 10, "over there"},
    };
    for (const auto &row : rows) {
        const QByteArray name = row.answer.bytes.left(40);
        server.script("/", row.answer);
        Fetch fetch;
        fetch.connection.setStallTimeout(row.stallMs);
        ASSERT_TRUE(fetch.run(server.url("/"))) << name.constData();
        EXPECT_EQ(fetch.events.failures, row.failures) << name.constData();
        EXPECT_EQ(fetch.events.connected, 1) << name.constData();
        EXPECT_GE(fetch.events.querySent, 1) << name.constData();
        EXPECT_EQ(fetch.events.disconnected, row.failures.isEmpty() ? 1 : 0) << name.constData();
        EXPECT_EQ(fetch.connection.ReceivedBytes(), row.received) << name.constData();
        EXPECT_EQ(fetch.connection.DownloadLength(), row.length) << name.constData();
        EXPECT_EQ(fetch.body(), row.body) << name.constData();
    }
}

// A resumed file keeps its first bytes on 206; on 200 the whole body replaces it, however
// long it was.
TEST(DataConnectionHttp, ResumeAnsweredWith206Or200)
{
    ScriptedServer server;
    server.script("/resume", [](const QByteArray &header) {
        const qsizetype range = header.indexOf("\r\nRange: bytes=");
        const int from = range < 0 ? 0 : header.mid(range + 15).split('-').value(0).toInt();
        return ScriptedServer::Answer{"HTTP/1.0 206 Partial Content\r\nContent-Length: " +
                                      QByteArray::number(1000 - from) + "\r\n\r\n" + pattern(1000).mid(from)};
    });
    server.serve("/resume200", pattern(1000));
    QTemporaryDir dir;
    const QString target = dir.filePath("part.bin");
    const auto resume = [&](const QByteArray &there, const char *path) {
        EXPECT_TRUE(writeFile(target, there));
        auto fetch = std::make_unique<Fetch>();
        fetch->toFile(target);
        fetch->connection.setUseResume(true);
        fetch->connection.setResumeFrom(300);
        EXPECT_TRUE(fetch->run(server.url(path))) << path;
        EXPECT_EQ(fetch->events.log, kClean) << path;
        return fetch;
    };
    EXPECT_EQ(resume(pattern(300), "/resume")->connection.RealReceivedBytes(), 700);
    EXPECT_EQ(readFile(target), pattern(1000));
    resume(QByteArray(1500, 'x'), "/resume200");
    EXPECT_EQ(readFile(target), pattern(1000));
}

TEST(DataConnectionHttp, RefusedAndUnansweredConnectionsEnd)
{
    const int closedPort = freePort();
    Fetch refused;
    ASSERT_TRUE(refused.run(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort)));
    EXPECT_EQ(refused.events.failures, QList<int>{int(DownloadFailure::ConnectHost)});
    EXPECT_EQ(refused.events.connected, 0);

    Fetch proxyRefused;
    proxyRefused.viaProxy(ProxyKind::Http, closedPort);
    ASSERT_TRUE(proxyRefused.run("http://127.0.0.1:1/target"));
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

// Every kind of proxy; danted does not speak SOCKS4a, the scripted server does.
TEST(DataConnectionProxy, ThroughEachKindOfProxy)
{
    ScriptedServer origin;
    origin.serve("/file.bin", pattern(50000));
    TestProxies &proxies = TestProxies::instance();
    REQUIRE_PROXY(tiny, proxies.tinyproxy());
    REQUIRE_PROXY(danted, proxies.danted());
    const struct
    {
        ProxyKind kind;
        int proxy;
        bool remoteDns;
        const char *host;
        QList<int> failures;
    } rows[] = {
        {ProxyKind::Http, tiny, false, "127.0.0.1", {}},
        {ProxyKind::Socks4, danted, false, "127.0.0.1", {}},
        {ProxyKind::Socks4, danted, false, "localhost", {}},
        {ProxyKind::Socks5, danted, false, "localhost", {}},
        {ProxyKind::Socks5, danted, true, "localhost", {}},
        {ProxyKind::Socks4, origin.port(), true, "origin.invalid", {}},
        // A name nobody can resolve goes to the proxy as 255.255.255.255, which refuses it.
        {ProxyKind::Socks4, danted, false, "no-such-host.invalid", {int(DownloadFailure::ProxyRejected)}},
    };
    for (const auto &row : rows) {
        Fetch fetch;
        fetch.viaProxy(row.kind, row.proxy);
        fetch.connection.setProxyUseRemoteDNS(row.remoteDns);
        fetch.connection.setProxyUsername("tester");
        ASSERT_TRUE(fetch.run(QStringLiteral("http://%1:%2/file.bin").arg(QLatin1String(row.host)).arg(origin.port())));
        const QByteArray name = QByteArray::number(int(row.kind)) + ' ' + row.host + (row.remoteDns ? " remote" : "");
        EXPECT_EQ(fetch.events.failures, row.failures) << name.constData();
        if (row.failures.isEmpty()) {
            EXPECT_EQ(fetch.events.log, kClean) << name.constData();
            EXPECT_EQ(fetch.body(), pattern(50000)) << name.constData();
        }
    }
}

TEST(DataConnectionProxy, Socks5LoginThroughDanted)
{
    // The proxy's test user lives in a private mount over /etc/passwd and /etc/shadow.
    if (::geteuid() != 0)
        GTEST_SKIP() << "the SOCKS5 login test needs root";
    ScriptedServer origin;
    origin.serve("/login.bin", pattern(20000));
    REQUIRE_PROXY(proxy, TestProxies::instance().dantedWithLogin());
    const auto attempt = [&](int method, const char *password, bool remoteDns) {
        auto fetch = std::make_unique<Fetch>();
        fetch->viaProxy(ProxyKind::Socks5, proxy);
        fetch->connection.setProxyAuthentication(method);
        fetch->connection.setProxyUsername("corvproxy");
        fetch->connection.setProxyPassword(QLatin1String(password));
        fetch->connection.setProxyUseRemoteDNS(remoteDns);
        EXPECT_TRUE(fetch->run(QStringLiteral("http://localhost:%1/login.bin").arg(origin.port())));
        return fetch;
    };
    const auto good = attempt(2, "s3cret", true);
    EXPECT_EQ(good->events.disconnected, 1) << qPrintable(good->events.log.join(QLatin1Char(',')));
    EXPECT_EQ(good->body(), pattern(20000));
    EXPECT_EQ(attempt(2, "wrong", false)->events.failures, QList<int>{int(DownloadFailure::ProxyLogin)});
    EXPECT_EQ(attempt(0, "", false)->events.failures, QList<int>{int(DownloadFailure::ProxyMethod)});
}
