#include "DownloadProtocol.h"

#include "NumberText.h"

#include <QUrl>

#include <algorithm>
#include <limits>

// The HTTP/1.0 side of the protocol: the request, the response header, redirects and the
// body rules. The SOCKS handshakes are in DownloadProtocolSocks.cpp.

namespace corvanel::update {

using namespace corvanel::platform;
namespace {

#define CORVANEL_STR2(x) #x
#define CORVANEL_STR(x) CORVANEL_STR2(x)
constexpr const char kUserAgent[] = "Corvanel/" CORVANEL_STR(CORVANEL_VERSION_MAJOR) "." CORVANEL_STR(
    CORVANEL_VERSION_MINOR) "." CORVANEL_STR(CORVANEL_VERSION_PATCH);
#undef CORVANEL_STR
#undef CORVANEL_STR2
constexpr int kMaxRedirects = 10;
// A header that never ends would otherwise grow without bound.
constexpr qsizetype kMaxHeaderBytes = 1 << 20;

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

// Sums of lengths a server names stop at the largest value instead of wrapping.
qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// A Content-Length that is not a length (negative) leaves the length unknown.
qint64 announcedLength(QStringView value, qint64 resumeFrom)
{
    const int64_t length = leadingInteger(value);
    if (length < 0)
        return -1;
    return saturatingAdd(length, std::max<qint64>(resumeFrom, 0));
}

QByteArray basicCredentials(const QString &user, const QString &password)
{
    return (user + QLatin1Char(':') + password).toLocal8Bit().toBase64();
}

} // namespace

QString failureText(int why)
{
    switch (static_cast<DownloadFailure>(why)) {
    case DownloadFailure::ClosedEarly:
        return QStringLiteral(
            "The connection with the proxy or host has been closed, before downloading the entire file.");
    case DownloadFailure::Aborted:
        return QStringLiteral("The download has been aborted by the user.");
    case DownloadFailure::NoWindow:
        return QStringLiteral("Unable to create a necessary window.");
    case DownloadFailure::Send:
        return QStringLiteral("Unable to send data to the host or proxy");
    case DownloadFailure::BadReply:
        return QStringLiteral("The server didn't reply with a 200 or 206 reply code.");
    case DownloadFailure::ConnectHost:
        return QStringLiteral("Unable to connect to the host.");
    case DownloadFailure::CreateFile:
        return QStringLiteral("Unable to create the file, specified in the Filename property.");
    case DownloadFailure::ConnectProxy:
        return QStringLiteral("Unable to connect to the proxy or unable to send data to it.");
    case DownloadFailure::ProxyRejected:
        return QStringLiteral("The connection request has failed or the proxy server has rejected it.");
    case DownloadFailure::ProxyMethod:
        return QStringLiteral("The selected authentication method was not accepted by the proxy.");
    case DownloadFailure::ProxyLogin:
        return QStringLiteral("The user/password combination was not accepted by the proxy.");
    case DownloadFailure::BadAddress:
        return QStringLiteral("The address is not an http:// address with a host and a valid port.");
    }
    return QStringLiteral("Unknown Error!");
}

std::optional<HttpAddress> parseHttpAddress(const QString &address)
{
    if (hasControlCharacters(address))
        return std::nullopt;
    const QString work = address.toLower() + QLatin1Char('/');
    const qsizetype scheme = work.indexOf(QLatin1String("://"));
    if (scheme < 0 || work.left(scheme) != QLatin1String("http"))
        return std::nullopt;
    const qsizetype hostStart = scheme + 3;
    const qsizetype hostEnd = work.indexOf(QLatin1Char('/'), hostStart);
    QString host = work.mid(hostStart, hostEnd - hostStart);
    HttpAddress result;
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QStringView digits = QStringView(host).mid(colon + 1);
        // Only the leading digits count; a sign or a blank is no port.
        const int64_t port = !digits.isEmpty() && digits[0].isDigit() ? leadingInteger(digits) : 0;
        if (port < 1 || port > 65535)
            return std::nullopt;
        result.port = static_cast<int>(port);
        host.truncate(colon);
    }
    if (host.isEmpty())
        return std::nullopt;
    result.host = host;
    return result;
}

QString PopLine(QString &text)
{
    const qsizetype at = text.indexOf(QLatin1String("\r\n"));
    if (at < 0) {
        QString line = text;
        text.clear();
        return line;
    }
    QString line = text.left(at);
    text.remove(0, at + 2);
    return line;
}

DownloadEvents DownloadProtocol::start(const DownloadRequest &request, bool redirect)
{
    m_request = request;
    if (m_request.resumeFrom <= 0)
        m_request.useResume = false;
    m_headerText.clear();
    m_handshake.clear();
    m_readingHeader = true;
    m_handshakeDone = false;
    m_replyFailed = false;
    m_ended = false;
    m_socks5Step = 0;
    if (!redirect)
        m_redirectCount = 0;
    m_httpReply = 0;
    m_receivedBytes = 0;
    m_downloadLength = -1;
    DownloadEvents events;
    if (m_request.socks())
        sendSocksMessage(events);
    else
        events.push_back({.kind = DownloadEvent::Kind::Send, .bytes = httpRequest()});
    return events;
}

DownloadEvents DownloadProtocol::receive(QByteArrayView block)
{
    DownloadEvents events;
    if (!m_ended && !block.isEmpty())
        receiveMore(block, events);
    return events;
}

void DownloadProtocol::receiveMore(QByteArrayView bytes, DownloadEvents &events)
{
    if (m_request.socks() && !m_handshakeDone)
        handshakeBytes(bytes, events);
    else
        responseBytes(bytes, events);
}

qint64 DownloadProtocol::receivedBytes() const
{
    return m_request.maxDownload >= 0 ? std::min(m_receivedBytes, m_request.maxDownload) : m_receivedBytes;
}

DownloadProtocol::Outcome DownloadProtocol::closeOutcome() const
{
    if (m_request.socks() && !m_handshakeDone)
        return Outcome::ProxyRejected;
    if (m_replyFailed)
        return Outcome::AlreadyReported;
    if (m_readingHeader)
        return Outcome::ClosedEarly;
    const qint64 received = receivedBytes();
    if (m_downloadLength != -1 && m_downloadLength != received &&
        (received < m_request.maxDownload || m_request.maxDownload < 0))
        return Outcome::ClosedEarly;
    return Outcome::Complete;
}

QByteArray DownloadProtocol::httpRequest() const
{
    const DownloadRequest &r = m_request;
    // An HTTP proxy needs the whole address; an origin server (also behind SOCKS, which is
    // a plain tunnel) is asked for the path alone, as HTTP/1.0 servers expect.
    QByteArray target = r.url.toUtf8();
    if (r.proxy != ProxyKind::Http) {
        const qsizetype scheme = target.indexOf("://");
        const qsizetype path = scheme >= 0 ? target.indexOf('/', scheme + 3) : -1;
        target = path >= 0 ? target.mid(path) : QByteArray("/");
    }
    QByteArray request;
    request += "GET " + target + " HTTP/1.0\r\n";
    request += "Accept: */*\r\n";
    request += QByteArray("User-Agent: ") + kUserAgent + "\r\n";
    request += "Host: " + r.hostname.toUtf8() + "\r\n";
    if (r.useResume && r.resumeFrom > 0)
        request += "Range: bytes=" + QByteArray::number(r.resumeFrom) + "-\r\n";
    if (r.proxy == ProxyKind::Http)
        request += "Proxy-Connection: Keep-Alive\r\n";
    // The proxy's own login, as a user names it in the proxy's address.
    if (r.proxy == ProxyKind::Http && !(r.proxyUsername.isEmpty() && r.proxyPassword.isEmpty()))
        request += "Proxy-Authorization: Basic " + basicCredentials(r.proxyUsername, r.proxyPassword) + "\r\n";
    if (!r.allowCache) {
        request += "Pragma: no-cache\r\n";
        request += "Cache-Control: no-cache\r\n";
    }
    if (r.useHttpAuthorization && !(r.httpUser.isEmpty() && r.httpPass.isEmpty()))
        request += "Authorization: Basic " + basicCredentials(r.httpUser, r.httpPass) + "\r\n";
    request += "\r\n";
    return request;
}

void DownloadProtocol::responseBytes(QByteArrayView bytes, DownloadEvents &events)
{
    if (!m_readingHeader) {
        body(bytes, events);
        return;
    }
    const qsizetype searchFrom = std::max<qsizetype>(0, m_headerText.size() - 3);
    m_headerText.append(bytes);
    const qsizetype end = m_headerText.indexOf("\r\n\r\n", searchFrom);
    if (end < 0) {
        if (m_headerText.size() > kMaxHeaderBytes)
            fail(DownloadFailure::BadReply, events);
        return;
    }
    m_afterHeader = m_headerText.mid(end + 4);
    m_headerText.truncate(end + 4);
    m_readingHeader = false;
    processHeader(events);
    if (!m_ended && !m_afterHeader.isEmpty())
        body(m_afterHeader, events);
}

void DownloadProtocol::processHeader(DownloadEvents &events)
{
    QString location;
    QString header = QString::fromLatin1(m_headerText);
    const QString status = PopLine(header);
    while (!header.isEmpty()) {
        const QString line = PopLine(header);
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString name = line.left(colon).toLower();
        if (name == QLatin1String("content-length"))
            m_downloadLength =
                announcedLength(QStringView(line).mid(15), m_request.useResume ? m_request.resumeFrom : 0);
        else if (name == QLatin1String("location"))
            location = line.mid(9).trimmed();
    }
    const qsizetype first = status.indexOf(QLatin1Char(' '));
    const qsizetype second = first >= 0 ? status.indexOf(QLatin1Char(' '), first + 1) : -1;
    if (second < 0 || second == first + 1) {
        m_httpReply = 999;
        m_replyFailed = true;
        fail(DownloadFailure::BadReply, events, false);
        return;
    }
    const int64_t code = leadingInteger(QStringView(status).mid(first + 1, second - first - 1));
    m_httpReply =
        static_cast<int>(std::clamp<int64_t>(code, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (m_httpReply == 206) {
        if (m_request.useResume)
            m_receivedBytes = m_request.resumeFrom;
    } else if (m_httpReply == 200) {
        // A whole body instead of the asked-for rest: its length stands alone.
        if (m_request.useResume && m_downloadLength != -1)
            m_downloadLength = std::max<qint64>(m_downloadLength - std::max<qint64>(m_request.resumeFrom, 0), 0);
        m_request.useResume = false;
    } else if ((m_httpReply == 301 || m_httpReply == 302) && !location.isEmpty()) {
        if (m_request.autoRedirect)
            redirect(location, events);
        else
            events.push_back({.kind = DownloadEvent::Kind::Moved, .location = location});
        return;
    } else {
        m_replyFailed = true;
        fail(DownloadFailure::BadReply, events, false);
        return;
    }
    events.push_back({.kind = DownloadEvent::Kind::Reply, .code = m_httpReply});
}

void DownloadProtocol::redirect(const QString &location, DownloadEvents &events)
{
    if (++m_redirectCount > kMaxRedirects) {
        fail(DownloadFailure::BadReply, events);
        return;
    }
    const QUrl relative(location);
    QString target = location;
    if (relative.isRelative() || location.startsWith(QLatin1String("//")))
        target = QUrl(m_request.url).resolved(relative).toString();
    const std::optional<HttpAddress> address = parseHttpAddress(target);
    if (!address) {
        fail(DownloadFailure::BadReply, events);
        return;
    }
    m_ended = true;
    events.push_back({.kind = DownloadEvent::Kind::Redirect, .location = target, .address = *address});
}

void DownloadProtocol::body(QByteArrayView bytes, DownloadEvents &events)
{
    qint64 count = bytes.size();
    const qint64 limit = m_request.maxDownload;
    if (limit >= 0 && saturatingAdd(m_receivedBytes, count) >= limit) {
        count = limit - m_receivedBytes;
        if (count < 1) {
            m_ended = true;
            events.push_back({.kind = DownloadEvent::Kind::LimitReached});
            return;
        }
    }
    m_receivedBytes = saturatingAdd(m_receivedBytes, count);
    events.push_back({.kind = DownloadEvent::Kind::Body, .body = bytes.first(count)});
}

void DownloadProtocol::fail(DownloadFailure why, DownloadEvents &events, bool fatal)
{
    if (fatal)
        m_ended = true;
    events.push_back({.kind = DownloadEvent::Kind::Failed, .failure = why, .fatal = fatal});
}

} // namespace corvanel::update
