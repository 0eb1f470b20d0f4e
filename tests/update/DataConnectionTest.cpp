#include "DataConnection.h"
#include "Events.h"
#include "Servers.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The scripted server's body bytes: 0, 1, ..., 255, 0, 1, ...
QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i & 0xFF);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString local(int port, const char *path)
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path));
}

// A memory download of one address; the connection is returned for inspection.
struct Fetch
{
    DataConnection connection;
    Events events{connection};

    explicit Fetch(int type = 1) { connection.setDownloadType(type); }
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

TEST(DataConnectionText, ToBase64PadsShortTails)
{
    EXPECT_EQ(DataConnection::ToBase64(QStringLiteral("a")), QStringLiteral("YQ=="));
    EXPECT_EQ(DataConnection::ToBase64(QStringLiteral("ab")), QStringLiteral("YWI="));
    EXPECT_EQ(DataConnection::ToBase64(QStringLiteral("abc")), QStringLiteral("YWJj"));
    EXPECT_EQ(DataConnection::ToBase64(QStringLiteral("user:pass")), QStringLiteral("dXNlcjpwYXNz"));
    EXPECT_EQ(DataConnection::FailureToString(11), QStringLiteral("Unknown Error!"));
    EXPECT_EQ(
        DataConnection::FailureToString(0),
        QStringLiteral("The connection with the proxy or host has been closed, before downloading the entire file."));
}

TEST(DataConnectionText, PopLineSplitsAtCrLf)
{
    QString text = QStringLiteral("one\r\ntwo\nstill two\r\n");
    EXPECT_EQ(PopLine(text), QStringLiteral("one"));
    EXPECT_EQ(PopLine(text), QStringLiteral("two\nstill two"));
    EXPECT_EQ(text, QString());
    text = QStringLiteral("last");
    EXPECT_EQ(PopLine(text), QStringLiteral("last"));
    EXPECT_TRUE(text.isEmpty());
}

TEST(DataConnectionText, AddressParsing)
{
    const auto plain = parseHttpAddress(QStringLiteral("HTTP://WWW.Example.COM"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, QStringLiteral("www.example.com"));
    EXPECT_EQ(plain->port, 80);
    const auto withPort = parseHttpAddress(QStringLiteral("http://host:8080x/a/b:c"));
    ASSERT_TRUE(withPort);
    EXPECT_EQ(withPort->host, QStringLiteral("host"));
    EXPECT_EQ(withPort->port, 8080);

    for (const char *bad : {"http://host:0/", "http://host:abc/", "http://host:70000/", "ftp://host/", "host/path",
                            "http:///path", "http://:80/", "http://ho\rst/"}) {
        EXPECT_FALSE(parseHttpAddress(QLatin1String(bad))) << bad;
        DataConnection connection;
        Events events(connection);
        connection.FetchURLString(QLatin1String(bad));
        EXPECT_EQ(events.failure(), FailBadAddress) << bad;
        EXPECT_EQ(events.connected, 0);
        EXPECT_FALSE(connection.IsConnected());
        EXPECT_EQ(connection.SocketHandle(), -1);
    }
}

TEST(DataConnectionText, RequestLinesInOrder)
{
    DataConnection connection;
    connection.setURL(QStringLiteral("http://Example.com:81/Path/file.txt?x=1"));
    connection.setHostname(QStringLiteral("example.com"));
    connection.setUseResume(true);
    connection.setResumeFrom(1234);
    connection.setUseHttpAuthorization(true);
    connection.setHttpUser(QStringLiteral("user"));
    connection.setHttpPass(QStringLiteral("pass"));
    const QByteArray agent = "User-Agent: Corvanel/" + QByteArray::number(CORVANEL_VERSION_MAJOR) + "." +
                             QByteArray::number(CORVANEL_VERSION_MINOR) + "." +
                             QByteArray::number(CORVANEL_VERSION_PATCH) + "\r\n";
    EXPECT_EQ(connection.buildRequest(), "GET /Path/file.txt?x=1 HTTP/1.0\r\n"
                                         "Accept: */*\r\n" +
                                             agent +
                                             "Host: example.com\r\n"
                                             "Range: bytes=1234-\r\n"
                                             "Pragma: no-cache\r\n"
                                             "Cache-Control: no-cache\r\n"
                                             "Authorization: Basic dXNlcjpwYXNz\r\n"
                                             "\r\n");
    // Through an HTTP proxy the whole address goes in the request line.
    connection.setProxyType(1);
    connection.setAllowCache(true);
    connection.setUseResume(false);
    connection.setHttpUser(QString());
    connection.setHttpPass(QString());
    EXPECT_EQ(connection.buildRequest(), "GET http://Example.com:81/Path/file.txt?x=1 HTTP/1.0\r\n"
                                         "Accept: */*\r\n" +
                                             agent +
                                             "Host: example.com\r\n"
                                             "Proxy-Connection: Keep-Alive\r\n"
                                             "\r\n");
}

TEST(DataConnectionText, MakeTempFileNameCreatesTheFile)
{
    const QString name = DataConnection::MakeTempFileName();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(QFile::exists(name));
    EXPECT_TRUE(name.startsWith(QDir::tempPath() + QLatin1Char('/')));
    EXPECT_TRUE(name.endsWith(QLatin1String(".tmp")));
    EXPECT_NE(DataConnection::MakeTempFileName(), name);
    QFile::remove(name);
}

// The SOCKS5 exchange with a login and remote DNS, every reply byte in its own block, the
// HTTP answer arriving in the same block as the last reply byte.
TEST(DataConnectionOffline, Socks5RepliesInSingleBytes)
{
    DataConnection connection;
    Events events(connection);
    connection.setDownloadType(1);
    connection.setProxyType(3);
    connection.setProxyAuthentication(2);
    connection.setProxyUsername(QStringLiteral("me"));
    connection.setProxyPassword(QStringLiteral("pw"));
    connection.setProxyUseRemoteDNS(true);
    connection.setHostname(QStringLiteral("origin.test"));
    connection.setPort(8080);
    connection.setURL(QStringLiteral("http://origin.test:8080/f"));
    connection.startWithoutSocket();
    EXPECT_EQ(connection.sentBytes(), QByteArray("\x05\x02\x02\x00", 4));
    connection.receive(QByteArray("\x05", 1));
    connection.receive(QByteArray("\x02", 1));
    EXPECT_EQ(connection.ProxyAuthentication(), 2);
    EXPECT_EQ(connection.sentBytes().mid(4), QByteArray("\x01\x02me\x02pw", 7));
    connection.receive(QByteArray("\x01", 1));
    connection.receive(QByteArray("\x00", 1));
    EXPECT_EQ(connection.sentBytes().mid(11), QByteArray("\x05\x01\x00\x03\x0borigin.test\x1f\x90", 18));
    const QByteArray reply("\x05\x00\x00\x03\x04host\x00\x50", 11);
    for (int i = 0; i + 1 < reply.size(); ++i)
        connection.receive(reply.mid(i, 1));
    EXPECT_EQ(events.querySent, 0);
    connection.receive(reply.right(1) + "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(events.querySent, 1);
    EXPECT_TRUE(connection.sentBytes().mid(29).startsWith("GET /f HTTP/1.0\r\n"));
    connection.remoteClosed();
    EXPECT_EQ(events.log, QStringList{QStringLiteral("Disconnected")});
    EXPECT_EQ(connection.GetBufferAsString(), QStringLiteral("abc"));
}

TEST(DataConnectionOffline, SocksRefusals)
{
    struct Case
    {
        int proxyType;
        int authentication;
        QByteArray reply;
        int why;
    };
    const Case cases[] = {
        {2, 0, QByteArray("\x00\x5b\x00\x00\x00\x00\x00\x00", 8), FailProxyRejected},
        {3, 0, QByteArray("\x05\xff", 2), FailProxyMethod},
        {3, 0, QByteArray("\x05\x01", 2), FailProxyMethod},
        {3, 2, QByteArray("\x05\x02\x01\x01", 4), FailProxyLogin},
        {3, 0, QByteArray("\x05\x00\x05\x05", 4), FailProxyRejected},
        {3, 0, QByteArray("\x05\x00\x05\x00\x00\x09", 6), FailProxyRejected},
    };
    for (const Case &c : cases) {
        DataConnection connection;
        Events events(connection);
        connection.setProxyType(c.proxyType);
        connection.setProxyAuthentication(c.authentication);
        connection.setHostname(QStringLiteral("10.1.2.3"));
        connection.startWithoutSocket();
        connection.receive(c.reply);
        EXPECT_EQ(events.failures, QList<int>{c.why}) << c.reply.toHex().constData();
        EXPECT_FALSE(connection.IsConnected());
    }
}

TEST(DataConnectionOffline, MemoryBufferGrowsAmortised)
{
    DataConnection connection;
    connection.setDownloadType(1);
    connection.startWithoutSocket();
    connection.receive("HTTP/1.0 200 OK\r\n\r\n");
    const QByteArray block = pattern(1000);
    for (int i = 0; i < 2000; ++i)
        connection.receive(block);
    EXPECT_EQ(connection.GetBufferSize(), 2000 * 1000);
    EXPECT_LT(connection.bufferReallocations(), 120);
    QByteArray all;
    EXPECT_EQ(connection.GetBuffer(all), 2000 * 1000);
    EXPECT_EQ(all.right(1000), block);
    connection.ClearBuffer();
    EXPECT_EQ(connection.GetBufferSize(), 0);
    EXPECT_EQ(connection.GetBuffer(all), 0);
}

TEST(DataConnectionHttp, DownloadsAFileFromARealServer)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.origin());
    const QByteArray contents = pattern(300000);
    writeFile(servers.originRoot() + QStringLiteral("/file.bin"), contents);
    QTemporaryDir dir;
    Fetch fetch(0);
    fetch.connection.setUseTempFile(false);
    fetch.connection.setFilename(dir.filePath(QStringLiteral("file.bin")));
    fetch.connection.setPacketSize(10000);
    ASSERT_TRUE(fetch.run(local(port, "/file.bin")));
    EXPECT_EQ(fetch.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
    EXPECT_EQ(fetch.events.querySent, 1);
    EXPECT_EQ(fetch.connection.HTTPReply(), 200);
    EXPECT_EQ(fetch.connection.DownloadLength(), contents.size());
    EXPECT_EQ(fetch.connection.ReceivedBytes(), contents.size());
    EXPECT_EQ(fetch.events.lastCount, contents.size());
    EXPECT_FALSE(fetch.connection.IsConnected());
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("file.bin"))), contents);

    // With UseTempFile the body goes to a fresh file of the temporary folder.
    Fetch temp(0);
    ASSERT_TRUE(temp.run(local(port, "/file.bin")));
    EXPECT_EQ(temp.events.disconnected, 1);
    EXPECT_NE(temp.connection.filename(), dir.filePath(QStringLiteral("file.bin")));
    EXPECT_EQ(readFile(temp.connection.filename()), contents);
    QFile::remove(temp.connection.filename());

    // A missing file is answered 404.
    Fetch missing;
    ASSERT_TRUE(missing.run(local(port, "/none.bin")));
    EXPECT_EQ(missing.events.failures, QList<int>{FailBadReply});
    EXPECT_EQ(missing.connection.HTTPReply(), 404);
}

// A full disk is a failure to write the file, whether the bytes fail on their way (a body
// larger than the write buffer) or only when the file is closed (a small one).
TEST(DataConnectionHttp, FullDiskIsNeverAComplete)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.origin());
    writeFile(servers.originRoot() + QStringLiteral("/small.bin"), pattern(5000));
    writeFile(servers.originRoot() + QStringLiteral("/large.bin"), pattern(600000));
    for (const char *path : {"/small.bin", "/large.bin"}) {
        Fetch fetch(0);
        fetch.connection.setUseTempFile(false);
        fetch.connection.setFilename(QStringLiteral("/dev/full"));
        ASSERT_TRUE(fetch.run(local(port, path))) << path;
        ASSERT_TRUE(waitUntil([&] { return !fetch.connection.IsConnected(); }, 5000)) << path;
        EXPECT_EQ(fetch.events.failures, QList<int>{FailCreateFile}) << path;
        EXPECT_EQ(fetch.events.disconnected, 0) << path;
    }
}

TEST(DataConnectionHttp, MemoryStreamAndCountingTargets)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch memory(1);
    ASSERT_TRUE(memory.run(local(port, "/nolength")));
    EXPECT_EQ(memory.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
    EXPECT_EQ(memory.connection.DownloadLength(), -1);
    EXPECT_EQ(memory.body(), pattern(5000));

    Fetch stream(2);
    ASSERT_TRUE(stream.run(local(port, "/nolength")));
    EXPECT_EQ(stream.events.streamed, pattern(5000));
    EXPECT_EQ(stream.events.streamedCount, 5000);
    EXPECT_EQ(stream.connection.GetBufferSize(), 0);

    Fetch counting(7);
    ASSERT_TRUE(counting.run(local(port, "/nolength")));
    EXPECT_EQ(counting.events.disconnected, 1);
    EXPECT_EQ(counting.connection.ReceivedBytes(), 5000);
    EXPECT_EQ(counting.connection.GetBufferSize(), 0);
}

TEST(DataConnectionHttp, MaxDownloadKeepsExactlyTheCap)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch fetch;
    fetch.connection.setMaxDownload(100);
    ASSERT_TRUE(fetch.run(local(port, "/early")));
    EXPECT_EQ(fetch.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
    EXPECT_EQ(fetch.body(), pattern(100));
    EXPECT_EQ(fetch.connection.ReceivedBytes(), 100);
}

TEST(DataConnectionHttp, HeaderSplitOverSeveralReceives)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch fetch;
    fetch.connection.setPacketSize(7);
    ASSERT_TRUE(fetch.run(local(port, "/split")));
    EXPECT_EQ(fetch.events.disconnected, 1);
    EXPECT_EQ(fetch.connection.DownloadLength(), 10);
    EXPECT_EQ(fetch.body(), QByteArray("0123456789"));
}

TEST(DataConnectionHttp, EarlyCloseAndResetFail)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    for (const char *path : {"/early", "/reset"}) {
        Fetch fetch;
        ASSERT_TRUE(fetch.run(local(port, path))) << path;
        EXPECT_EQ(fetch.events.failures, QList<int>{FailClosedEarly}) << path;
        EXPECT_EQ(fetch.events.disconnected, 0) << path;
        EXPECT_EQ(fetch.connection.ReceivedBytes(), 400) << path;
    }
}

TEST(DataConnectionHttp, ResumeAnsweredWith206Or200)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("part.bin"));

    // 206: the rest is written after the 300 bytes already there.
    writeFile(target, pattern(300));
    {
        Fetch fetch(0);
        fetch.connection.setUseTempFile(false);
        fetch.connection.setFilename(target);
        fetch.connection.setUseResume(true);
        fetch.connection.setResumeFrom(300);
        ASSERT_TRUE(fetch.run(local(port, "/resume")));
        EXPECT_EQ(fetch.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
        EXPECT_EQ(fetch.connection.HTTPReply(), 206);
        EXPECT_EQ(fetch.connection.DownloadLength(), 1000);
        EXPECT_EQ(fetch.connection.ReceivedBytes(), 1000);
        EXPECT_EQ(fetch.connection.RealReceivedBytes(), 700);
    }
    EXPECT_EQ(readFile(target), pattern(1000));

    // 200: the whole body replaces what was there, however long it was.
    writeFile(target, QByteArray(1500, 'x'));
    {
        Fetch fetch(0);
        fetch.connection.setUseTempFile(false);
        fetch.connection.setFilename(target);
        fetch.connection.setUseResume(true);
        fetch.connection.setResumeFrom(300);
        ASSERT_TRUE(fetch.run(local(port, "/resume200")));
        EXPECT_EQ(fetch.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
        EXPECT_FALSE(fetch.connection.UseResume());
        EXPECT_EQ(fetch.connection.DownloadLength(), 1000);
    }
    EXPECT_EQ(readFile(target), pattern(1000));
}

TEST(DataConnectionHttp, RedirectsAreFollowed)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.scripted());
    REQUIRE_SERVER(originPort, servers.origin());
    writeFile(servers.originRoot() + QStringLiteral("/there.txt"), "over there");

    Fetch relative;
    ASSERT_TRUE(relative.run(local(port, "/moved")));
    EXPECT_EQ(relative.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
    EXPECT_EQ(relative.body(), QByteArray("target body"));
    EXPECT_EQ(relative.connection.URL(), local(port, "/target"));

    // Another port: the new address is parsed as FetchURLString does.
    Fetch elsewhere;
    ASSERT_TRUE(elsewhere.run(local(port, "/moved-to/") + QString::number(originPort) + QStringLiteral("/there.txt")));
    EXPECT_EQ(elsewhere.events.connected, 1);
    EXPECT_EQ(elsewhere.body(), QByteArray("over there"));
    EXPECT_EQ(elsewhere.connection.Port(), originPort);

    Fetch told;
    told.connection.setAutoRedirect(false);
    ASSERT_TRUE(told.run(local(port, "/moved")));
    EXPECT_EQ(told.events.moved, QStringLiteral("/target"));
    EXPECT_EQ(told.connection.HTTPReply(), 301);
}

TEST(DataConnectionHttp, BadRepliesFailWithCode4)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    for (const char *path : {"/moved-nolocation", "/loop", "/moved-https", "/nosecondblank", "/notfound"}) {
        Fetch fetch;
        ASSERT_TRUE(fetch.run(local(port, path))) << path;
        // Nothing but the failure is reported, also once the connection has been closed.
        ASSERT_TRUE(waitUntil([&] { return !fetch.connection.IsConnected(); }, 5000)) << path;
        EXPECT_EQ(fetch.events.failures, QList<int>{FailBadReply}) << path;
        EXPECT_EQ(fetch.events.disconnected, 0) << path;
        EXPECT_EQ(fetch.events.connected, 1) << path;
    }
    Fetch blank;
    ASSERT_TRUE(blank.run(local(port, "/nosecondblank")));
    EXPECT_EQ(blank.connection.HTTPReply(), 999);
}

TEST(DataConnectionHttp, SilentServerAndRefusedConnectionsEnd)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch silent;
    silent.connection.setStallTimeout(300);
    ASSERT_TRUE(silent.run(local(port, "/silent")));
    EXPECT_EQ(silent.events.failures, QList<int>{FailClosedEarly});
    EXPECT_EQ(silent.events.querySent, 1);

    const int closedPort = freePort();
    Fetch refused;
    ASSERT_TRUE(refused.run(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort)));
    EXPECT_EQ(refused.events.failures, QList<int>{FailConnectHost});
    EXPECT_EQ(refused.events.connected, 0);

    Fetch proxyRefused;
    proxyRefused.connection.setProxyType(1);
    proxyRefused.connection.setProxyHostname(QStringLiteral("127.0.0.1"));
    proxyRefused.connection.setProxyPort(closedPort);
    ASSERT_TRUE(proxyRefused.run(local(port, "/target")));
    EXPECT_EQ(proxyRefused.events.failures, QList<int>{FailConnectProxy});

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
    EXPECT_EQ(unanswered.events.failures, QList<int>{FailConnectHost});
    EXPECT_EQ(unanswered.events.connected, 0);
    ::close(listener);
}

TEST(DataConnectionHttp, DisconnectAbortsAndBasicAuthIsSent)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch aborted;
    aborted.connection.FetchURLString(local(port, "/silent"));
    ASSERT_TRUE(waitUntil([&] { return aborted.events.querySent == 1; }, 5000));
    aborted.connection.Disconnect();
    EXPECT_EQ(aborted.events.failures, QList<int>{FailAborted});
    EXPECT_FALSE(aborted.connection.IsConnected());

    Fetch auth;
    auth.connection.setUseHttpAuthorization(true);
    auth.connection.setHttpUser(QStringLiteral("user"));
    auth.connection.setHttpPass(QStringLiteral("pass"));
    ASSERT_TRUE(auth.run(local(port, "/auth")));
    EXPECT_EQ(auth.body(), QByteArray("Basic dXNlcjpwYXNz"));

    // The request as the server saw it, for an address typed in capitals.
    Fetch echo;
    ASSERT_TRUE(echo.run(QStringLiteral("HTTP://127.0.0.1:%1/echo").arg(port)));
    EXPECT_EQ(echo.connection.URL(), QStringLiteral("HTTP://127.0.0.1:%1/echo").arg(port));
    EXPECT_EQ(echo.connection.Hostname(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(echo.body(), echo.connection.buildRequest());
    EXPECT_TRUE(echo.body().startsWith("GET /echo HTTP/1.0\r\nAccept: */*\r\nUser-Agent: Corvanel/"));
}

TEST(DataConnectionProxy, HttpProxy)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(origin, servers.origin());
    REQUIRE_SERVER(proxy, servers.tinyproxy());
    writeFile(servers.originRoot() + QStringLiteral("/proxied.bin"), pattern(70000));
    Fetch fetch;
    fetch.connection.setProxyType(1);
    fetch.connection.setProxyHostname(QStringLiteral("127.0.0.1"));
    fetch.connection.setProxyPort(proxy);
    ASSERT_TRUE(fetch.run(local(origin, "/proxied.bin")));
    EXPECT_EQ(fetch.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}));
    EXPECT_EQ(fetch.body(), pattern(70000));
}

TEST(DataConnectionProxy, Socks4And5ThroughDanted)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(origin, servers.origin());
    REQUIRE_SERVER(proxy, servers.danted());
    writeFile(servers.originRoot() + QStringLiteral("/socks.bin"), pattern(50000));
    struct Case
    {
        int type;
        bool remoteDns;
        const char *host;
    };
    for (const Case c : {Case{2, false, "127.0.0.1"}, Case{2, false, "localhost"}, Case{3, false, "localhost"},
                         Case{3, true, "localhost"}}) {
        Fetch fetch;
        fetch.connection.setProxyType(c.type);
        fetch.connection.setProxyUseRemoteDNS(c.remoteDns);
        fetch.connection.setProxyHostname(QStringLiteral("127.0.0.1"));
        fetch.connection.setProxyPort(proxy);
        ASSERT_TRUE(fetch.run(QStringLiteral("http://%1:%2/socks.bin").arg(QLatin1String(c.host)).arg(origin)));
        EXPECT_EQ(fetch.events.log, (QStringList{QStringLiteral("Connected"), QStringLiteral("Disconnected")}))
            << c.type << c.remoteDns << c.host;
        EXPECT_EQ(fetch.body(), pattern(50000));
    }
    // A name nobody can resolve goes to the proxy as 255.255.255.255, which refuses it.
    Fetch unknown;
    unknown.connection.setProxyType(2);
    unknown.connection.setProxyHostname(QStringLiteral("127.0.0.1"));
    unknown.connection.setProxyPort(proxy);
    ASSERT_TRUE(unknown.run(QStringLiteral("http://no-such-host.invalid:%1/socks.bin").arg(origin)));
    EXPECT_EQ(unknown.events.failures, QList<int>{FailProxyRejected});
}

TEST(DataConnectionProxy, Socks5LoginThroughDanted)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(origin, servers.origin());
    REQUIRE_SERVER(proxy, servers.dantedWithLogin());
    writeFile(servers.originRoot() + QStringLiteral("/login.bin"), pattern(20000));
    const auto attempt = [&](int method, const char *password, bool remoteDns) {
        auto fetch = std::make_unique<Fetch>();
        fetch->connection.setProxyType(3);
        fetch->connection.setProxyAuthentication(method);
        fetch->connection.setProxyUsername(QStringLiteral("corvproxy"));
        fetch->connection.setProxyPassword(QLatin1String(password));
        fetch->connection.setProxyUseRemoteDNS(remoteDns);
        fetch->connection.setProxyHostname(QStringLiteral("127.0.0.1"));
        fetch->connection.setProxyPort(proxy);
        EXPECT_TRUE(fetch->run(QStringLiteral("http://localhost:%1/login.bin").arg(origin)));
        return fetch;
    };
    const auto good = attempt(2, "s3cret", true);
    EXPECT_EQ(good->events.disconnected, 1) << qPrintable(good->events.log.join(QLatin1Char(',')));
    EXPECT_EQ(good->body(), pattern(20000));
    EXPECT_EQ(good->connection.ProxyAuthentication(), 2);
    EXPECT_EQ(attempt(2, "wrong", false)->events.failures, QList<int>{FailProxyLogin});
    EXPECT_EQ(attempt(0, "", false)->events.failures, QList<int>{FailProxyMethod});
}

// danted does not speak SOCKS4a; the scripted server does.
TEST(DataConnectionProxy, Socks4aThroughScriptedProxy)
{
    REQUIRE_SERVER(port, TestServers::instance().scripted());
    Fetch fetch;
    fetch.connection.setProxyType(2);
    fetch.connection.setProxyUseRemoteDNS(true);
    fetch.connection.setProxyUsername(QStringLiteral("tester"));
    fetch.connection.setProxyHostname(QStringLiteral("127.0.0.1"));
    fetch.connection.setProxyPort(port);
    ASSERT_TRUE(fetch.run(QStringLiteral("http://origin.invalid:%1/target").arg(port)));
    EXPECT_EQ(fetch.events.disconnected, 1);
    EXPECT_EQ(fetch.body(), QByteArray("target body"));

    Fetch last;
    ASSERT_TRUE(last.run(local(port, "/socks4-last")));
    QByteArray expected("\x04\x01", 2);
    expected += static_cast<char>(port >> 8);
    expected += static_cast<char>(port & 0xFF);
    expected += QByteArray("\0\0\0\1tester\0origin.invalid\0", 26);
    EXPECT_EQ(last.body(), expected);

    Fetch rejected;
    rejected.connection.setProxyType(2);
    rejected.connection.setProxyUsername(QStringLiteral("reject"));
    rejected.connection.setProxyHostname(QStringLiteral("127.0.0.1"));
    rejected.connection.setProxyPort(port);
    ASSERT_TRUE(rejected.run(local(port, "/target")));
    EXPECT_EQ(rejected.events.failures, QList<int>{FailProxyRejected});
}
