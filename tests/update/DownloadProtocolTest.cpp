// The download protocol without a socket: requests, handshakes, header and body rules.
#include "DownloadProtocol.h"

#include <QStringList>

#include <limits>

#include <gtest/gtest.h>

using namespace corvanel;

using namespace corvanel::update;
using Kind = DownloadEvent::Kind;

namespace {

// One line per event, for comparing whole exchanges.
QStringList describe(const DownloadEvents &events)
{
    QStringList lines;
    for (const DownloadEvent &e : events) {
        switch (e.kind) {
        case Kind::Send:
            lines << (e.handshake ? "handshake " + QString::fromLatin1(e.bytes.toHex()) : "request");
            break;
        case Kind::Reply:
            lines << QStringLiteral("reply %1").arg(e.code);
            break;
        case Kind::Body:
            lines << "body " + QString::fromLatin1(e.body.toByteArray());
            break;
        case Kind::Moved:
            lines << "moved " + e.location;
            break;
        case Kind::Redirect:
            lines << QStringLiteral("redirect %1 %2:%3").arg(e.location, e.address.host).arg(e.address.port);
            break;
        case Kind::LimitReached:
            lines << "limit";
            break;
        case Kind::Failed:
            lines << QStringLiteral("failed %1%2")
                         .arg(static_cast<int>(e.failure))
                         .arg(e.fatal ? QLatin1String() : QLatin1String(" (goes on)"));
            break;
        }
    }
    return lines;
}

DownloadRequest origin(const char *url = "http://origin.test/dir/file")
{
    DownloadRequest request;
    request.url = QLatin1String(url);
    request.hostname = parseHttpAddress(request.url)->host;
    return request;
}

// A direct fetch fed the given blocks; the events of all of them together.
QStringList exchange(DownloadProtocol &protocol, const DownloadRequest &request, const QList<QByteArray> &blocks)
{
    protocol.start(request);
    QStringList lines;
    for (const QByteArray &block : blocks)
        lines += describe(protocol.receive(block));
    return lines;
}

} // namespace

TEST(DownloadProtocolText, FailureTextsAddressesAndLines)
{
    QString text = "one\r\ntwo\nstill two\r\n";
    EXPECT_EQ(PopLine(text), "one");
    EXPECT_EQ(PopLine(text), "two\nstill two");
    EXPECT_TRUE(text.isEmpty());

    const auto plain = parseHttpAddress("HTTP://WWW.Example.COM");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "www.example.com");
    EXPECT_EQ(plain->port, 80);
    const auto withPort = parseHttpAddress("http://host:8080x/a/b:c");
    ASSERT_TRUE(withPort);
    EXPECT_EQ(withPort->host, "host");
    EXPECT_EQ(withPort->port, 8080);
    for (const char *bad : {"http://host:0/", "http://host:abc/", "http://host:-80/", "http://host:70000/",
                            "http://host:99999999999999999999/", "ftp://host/", "host/path", "http:///path",
                            "http://:80/", "http://ho\rst/"})
        EXPECT_FALSE(parseHttpAddress(QLatin1String(bad))) << bad;
}

TEST(DownloadProtocolText, RequestLinesInOrder)
{
    DownloadRequest request = origin("http://Example.com:81/Path/file.txt?x=1");
    request.useResume = true;
    request.resumeFrom = 1234;
    request.useHttpAuthorization = true;
    request.httpUser = "user";
    request.httpPass = "pass";
    DownloadProtocol protocol;
    const DownloadEvents first = protocol.start(request);
    ASSERT_EQ(first.size(), 1u);
    const QByteArray agent = "User-Agent: Corvanel/" + QByteArray::number(CORVANEL_VERSION_MAJOR) + "." +
                             QByteArray::number(CORVANEL_VERSION_MINOR) + "." +
                             QByteArray::number(CORVANEL_VERSION_PATCH) + "\r\n";
    EXPECT_EQ(first[0].bytes, "GET /Path/file.txt?x=1 HTTP/1.0\r\nAccept: */*\r\n" + agent +
                                  "Host: example.com\r\nRange: bytes=1234-\r\nPragma: no-cache\r\n"
                                  "Cache-Control: no-cache\r\nAuthorization: Basic dXNlcjpwYXNz\r\n\r\n");
    // Through an HTTP proxy the whole address goes in the request line; a resume from 0 is none.
    request.proxy = ProxyKind::Http;
    request.allowCache = true;
    request.resumeFrom = 0;
    request.httpUser.clear();
    request.httpPass.clear();
    protocol.start(request);
    EXPECT_EQ(protocol.httpRequest(), "GET http://Example.com:81/Path/file.txt?x=1 HTTP/1.0\r\nAccept: */*\r\n" +
                                          agent + "Host: example.com\r\nProxy-Connection: Keep-Alive\r\n\r\n");
    // The proxy's own login goes to the proxy alone.
    request.proxyUsername = QStringLiteral("user");
    request.proxyPassword = QStringLiteral("pass");
    protocol.start(request);
    EXPECT_TRUE(protocol.httpRequest().endsWith(
        "Proxy-Connection: Keep-Alive\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n"));
}

// The SOCKS5 exchange with a login and remote DNS, every reply byte in its own block, the
// HTTP answer arriving in the same block as the last reply byte.
TEST(DownloadProtocolSocks, Socks5RepliesInSingleBytes)
{
    DownloadRequest request = origin("http://origin.test:8080/f");
    request.port = 8080;
    request.proxy = ProxyKind::Socks5;
    request.proxyAuthentication = 2;
    request.proxyUsername = "me";
    request.proxyPassword = "pw";
    request.proxyUseRemoteDNS = true;
    DownloadProtocol protocol;
    EXPECT_EQ(describe(protocol.start(request)), QStringList{"handshake 05020200"});
    EXPECT_TRUE(protocol.receive(QByteArray("\x05", 1)).empty());
    EXPECT_EQ(describe(protocol.receive(QByteArray("\x02", 1))), QStringList{"handshake 01026d65027077"});
    protocol.receive(QByteArray("\x01", 1));
    EXPECT_EQ(describe(protocol.receive(QByteArray("\x00", 1))),
              QStringList{"handshake 050100030b6f726967696e2e74657374"
                          "1f90"});
    const QByteArray reply("\x05\x00\x00\x03\x04host\x00\x50", 11);
    for (int i = 0; i + 1 < reply.size(); ++i)
        EXPECT_TRUE(protocol.receive(reply.mid(i, 1)).empty()) << i;
    const DownloadEvents last = protocol.receive(reply.right(1) + "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(describe(last), (QStringList{"request", "reply 200", "body abc"}));
    EXPECT_TRUE(last[0].bytes.startsWith("GET /f HTTP/1.0\r\n"));
    EXPECT_EQ(protocol.closeOutcome(), DownloadProtocol::Outcome::Complete);
}

TEST(DownloadProtocolSocks, Socks4MessagesAndRefusals)
{
    DownloadRequest request = origin("http://origin.test:8080/f");
    request.port = 8080;
    request.proxy = ProxyKind::Socks4;
    request.proxyUsername = "tester";
    request.resolvedAddress = 0x0A010203u;
    DownloadProtocol protocol;
    EXPECT_EQ(protocol.start(request)[0].bytes, QByteArray("\x04\x01\x1f\x90\x0a\x01\x02\x03tester\0", 15));
    request.proxyUseRemoteDNS = true;
    EXPECT_EQ(protocol.start(request)[0].bytes, QByteArray("\x04\x01\x1f\x90\0\0\0\1tester\0origin.test\0", 27));
    // A host name too long for SOCKS5's one-byte length is refused before anything is sent.
    request.proxy = ProxyKind::Socks5;
    request.hostname = QString(256, QLatin1Char('h'));
    protocol.start(request);
    EXPECT_EQ(describe(protocol.receive(QByteArray("\x05\x00", 2))), QStringList{"failed 8"});

    struct Case
    {
        ProxyKind proxy;
        int authentication;
        QByteArray reply;
        DownloadFailure why;
    };
    const Case cases[] = {
        {ProxyKind::Socks4, 0, QByteArray("\x00\x5b\x00\x00\x00\x00\x00\x00", 8), DownloadFailure::ProxyRejected},
        {ProxyKind::Socks5, 0, QByteArray("\x05\xff", 2), DownloadFailure::ProxyMethod},
        {ProxyKind::Socks5, 0, QByteArray("\x05\x01", 2), DownloadFailure::ProxyMethod},
        {ProxyKind::Socks5, 2, QByteArray("\x05\x02\x01\x01", 4), DownloadFailure::ProxyLogin},
        {ProxyKind::Socks5, 0, QByteArray("\x05\x00\x05\x05", 4), DownloadFailure::ProxyRejected},
        {ProxyKind::Socks5, 0, QByteArray("\x05\x00\x05\x00\x00\x09", 6), DownloadFailure::ProxyRejected},
    };
    for (const Case &c : cases) {
        DownloadRequest refused = origin();
        refused.proxy = c.proxy;
        refused.proxyAuthentication = c.authentication;
        protocol.start(refused);
        QStringList lines = describe(protocol.receive(c.reply));
        EXPECT_EQ(lines.last(), QStringLiteral("failed %1").arg(static_cast<int>(c.why)))
            << c.reply.toHex().constData();
        EXPECT_TRUE(protocol.ended());
        EXPECT_TRUE(protocol.receive("more").empty());
    }
    // A proxy that hangs up during the handshake has refused the request.
    request = origin();
    request.proxy = ProxyKind::Socks4;
    protocol.start(request);
    protocol.receive(QByteArray("\x00\x5a", 2));
    EXPECT_EQ(protocol.closeOutcome(), DownloadProtocol::Outcome::ProxyRejected);
}

// One exchange a row: a header split anywhere (even inside its blank line) and the body after
// it; fewer bytes than announced, or no end of the header, is an early close; without a length
// whatever came is the whole body; the cap keeps exactly its bytes and ends the transfer as
// complete; on a resume, 206 counts from the file's start and 200 is a whole body that turns
// the resume off; lengths at the edge of 64 bits stop at the largest value, a negative one is
// no length.
TEST(DownloadProtocolHttp, HeaderBodyAndResumeRules)
{
    using Outcome = DownloadProtocol::Outcome;
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    const QByteArray ok = "HTTP/1.0 200 OK\r\n", partial = "HTTP/1.0 206 Partial\r\n";
    DownloadProtocol p;
    const auto row = [&](qint64 resumeFrom, qint64 maxDownload, const QList<QByteArray> &blocks,
                         const QStringList &events, qint64 length, qint64 received, Outcome outcome, bool resuming) {
        DownloadRequest request = origin();
        request.useResume = resumeFrom > 0;
        request.resumeFrom = resumeFrom;
        request.maxDownload = maxDownload;
        const QByteArray name = blocks.join("|").left(60);
        EXPECT_EQ(exchange(p, request, blocks), events) << name.constData();
        EXPECT_EQ(p.downloadLength(), length) << name.constData();
        EXPECT_EQ(p.receivedBytes(), received) << name.constData();
        EXPECT_EQ(p.closeOutcome(), outcome) << name.constData();
        EXPECT_EQ(p.request().useResume, resuming) << name.constData();
    };
    row(0, -1, {"HTTP/1.0 200 OK\r", "\nContent-Length: 10\r\n\r", "\n01234", "56789"},
        {"reply 200", "body 01234", "body 56789"}, 10, 10, Outcome::Complete, false);
    row(0, -1, {ok + "Content-Length: 10\r\n\r\n0123"}, {"reply 200", "body 0123"}, 10, 4, Outcome::ClosedEarly, false);
    row(0, -1, {ok}, {}, -1, 0, Outcome::ClosedEarly, false);
    row(0, -1, {ok + "\r\nabc"}, {"reply 200", "body abc"}, -1, 3, Outcome::Complete, false);
    row(0, 5, {ok + "Content-Length: 10\r\n\r\n0123", "456", "789"}, {"reply 200", "body 0123", "body 4", "limit"}, 10,
        5, Outcome::Complete, false);
    const QByteArray x700(700, 'x'), x1000(1000, 'x');
    row(300, -1, {partial + "Content-Length: 700\r\n\r\n", x700}, {"reply 206", "body " + x700}, 1000, 1000,
        Outcome::Complete, true);
    row(300, -1, {ok + "Content-Length: 1000\r\n\r\n", x1000}, {"reply 200", "body " + x1000}, 1000, 1000,
        Outcome::Complete, false);
    row(300, -1, {partial + "Content-Length: 9223372036854775807\r\n\r\nabc"}, {"reply 206", "body abc"}, kLargest, 303,
        Outcome::ClosedEarly, true);
    row(300, -1, {ok + "Content-Length: 9223372036854775807\r\n\r\nabc"}, {"reply 200", "body abc"}, kLargest - 300, 3,
        Outcome::ClosedEarly, false);
    row(300, -1, {ok + "Content-Length: -5\r\n\r\nabc"}, {"reply 200", "body abc"}, -1, 3, Outcome::Complete, false);
    row(kLargest - 1, kLargest, {partial + "Content-Length: 10\r\n\r\n", "0123456789"}, {"reply 206", "body 0"},
        kLargest, kLargest, Outcome::Complete, true);

    // A header that never ends is refused instead of growing without bound.
    p.start(origin());
    const QByteArray line = "X-Padding: " + QByteArray(1000, 'x') + "\r\n";
    QStringList lines;
    for (int i = 0; i < 1100 && !p.ended(); ++i)
        lines += describe(p.receive(line));
    EXPECT_EQ(lines, QStringList{"failed 4"});
}

TEST(DownloadProtocolHttp, BadRepliesAndRedirects)
{
    struct Case
    {
        const char *header;
        QStringList events;
        int reply;
    };
    const Case cases[] = {
        {"HTTP/1.0 404 Not Found\r\n\r\nnope", {"failed 4 (goes on)", "body nope"}, 404},
        {"HTTP/1.0 200\r\n\r\n", {"failed 4 (goes on)"}, 999},
        {"garbage\r\n\r\n", {"failed 4 (goes on)"}, 999},
        {"HTTP/1.0 99999999999999999999 Big\r\n\r\n", {"failed 4 (goes on)"}, 2147483647},
        {"HTTP/1.0 301 Moved\r\n\r\n", {"failed 4 (goes on)"}, 301},
        {"HTTP/1.0 302 Found\r\nLocation: https://secure.test/x\r\n\r\n", {"failed 4"}, 302},
        {"HTTP/1.0 301 Moved\r\nLocation: /other\r\n\r\nignored",
         {"redirect http://origin.test/other origin.test:80"},
         301},
        {"HTTP/1.0 302 Found\r\nLOCATION:  http://Else.test:8081/x \r\n\r\n",
         {"redirect http://Else.test:8081/x else.test:8081"},
         302},
        {"HTTP/1.0 301 Moved\r\nLocation: //cdn.test/y\r\n\r\n", {"redirect http://cdn.test/y cdn.test:80"}, 301},
    };
    DownloadProtocol p;
    for (const Case &c : cases) {
        EXPECT_EQ(exchange(p, origin(), {c.header}), c.events) << c.header;
        EXPECT_EQ(p.httpReply(), c.reply) << c.header;
    }
    // A reported failure is not reported again when the peer closes.
    exchange(p, origin(), {"HTTP/1.0 500 Oops\r\n\r\n"});
    EXPECT_EQ(p.closeOutcome(), DownloadProtocol::Outcome::AlreadyReported);

    // Not followed: the caller is told where the resource went, and its body still counts.
    DownloadRequest told = origin();
    told.autoRedirect = false;
    EXPECT_EQ(exchange(p, told, {"HTTP/1.0 301 Moved\r\nLocation: /there\r\n\r\nx"}),
              (QStringList{"moved /there", "body x"}));

    // Ten redirects are followed; the eleventh is a bad reply.
    const QByteArray loop = "HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n";
    p.start(origin());
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(describe(p.receive(loop)).value(0).left(8), "redirect") << i;
        p.start(origin("http://origin.test/again"), true);
    }
    EXPECT_EQ(describe(p.receive(loop)), QStringList{"failed 4"});
}
