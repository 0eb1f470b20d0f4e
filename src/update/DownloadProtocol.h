#pragma once
// The download client's protocol without a socket: the SOCKS 4/4a/5 handshakes, the HTTP/1.0
// request, the response header and the body rules. It is fed the bytes that arrive and
// answers with events (bytes to send, the reply, body bytes, a redirect, a failure); the
// socket, the timers and the body's destination belong to DataConnection.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvanel::update {

// How the client reaches the origin; the values are those of the ProxyType property.
enum class ProxyKind : int { Direct = 0, Http = 1, Socks4 = 2, Socks5 = 3 };

// Where body bytes go; the values are those of the DownloadType property. Any other value
// keeps nothing but still counts and reports the bytes.
enum class BodyTarget : int { File = 0, Memory = 1, Stream = 2 };

// The codes of the DownloadFailed event.
enum class DownloadFailure : int {
    ClosedEarly = 0,
    Aborted = 1,
    NoWindow = 2,
    Send = 3,
    BadReply = 4,
    ConnectHost = 5,
    CreateFile = 6,
    ConnectProxy = 7,
    ProxyRejected = 8,
    ProxyMethod = 9,
    ProxyLogin = 10,
    BadAddress = 11,
};

// The sentence shown for a failure code; codes no failure uses give "Unknown Error!".
QString failureText(int why);

// What an address given to FetchURLString is made of.
struct HttpAddress
{
    QString host; // lower case
    int port = 80;
};
// Parses "http://host[:port][/...]" (any case). Empty when the address is unusable.
std::optional<HttpAddress> parseHttpAddress(const QString &address);

// The first line of a text and the rest after its CR LF; without CR LF the whole text.
QString PopLine(QString &text);

// Everything one fetch asks for.
struct DownloadRequest
{
    QString url;
    QString hostname;
    int port = 80;
    ProxyKind proxy = ProxyKind::Direct;
    QString proxyUsername;
    QString proxyPassword;
    bool proxyUseRemoteDNS = false;
    int proxyAuthentication = 0;
    // The origin's IPv4 address, for a SOCKS proxy without remote DNS.
    quint32 resolvedAddress = 0xFFFFFFFFu;
    bool useHttpAuthorization = false;
    QString httpUser;
    QString httpPass;
    bool allowCache = false;
    bool useResume = false;
    qint64 resumeFrom = 0;
    qint64 maxDownload = -1;
    bool autoRedirect = true;

    bool socks() const { return proxy == ProxyKind::Socks4 || proxy == ProxyKind::Socks5; }
};

struct DownloadEvent
{
    enum class Kind {
        Send,         // bytes: to the proxy (handshake) or the request (query)
        Reply,        // the header has been read: code, and for 200/206 the body may follow
        Body,         // body bytes, valid until the protocol is next called
        Moved,        // a 301/302 that is not followed: location
        Redirect,     // a 301/302 to follow: location, address
        LimitReached, // MaxDownload bytes are kept: the transfer is complete
        Failed,       // failure; fatal ends the transfer
    };
    Kind kind = Kind::Send;
    QByteArray bytes{};
    bool handshake = false;
    int code = 0;
    QByteArrayView body{};
    QString location{};
    HttpAddress address{};
    DownloadFailure failure = DownloadFailure::ClosedEarly;
    bool fatal = true;
};
using DownloadEvents = std::vector<DownloadEvent>;

class DownloadProtocol
{
public:
    // How a transfer ended when the peer closed the connection.
    enum class Outcome { Complete, ClosedEarly, ProxyRejected, AlreadyReported };

    // Begins a fetch and returns the first message: the SOCKS greeting or the HTTP request.
    // A redirect keeps counting the redirects of the fetch that led to it.
    DownloadEvents start(const DownloadRequest &request, bool redirect = false);
    DownloadEvents receive(QByteArrayView block);
    Outcome closeOutcome() const;

    // The request that is sent once the connection (and any SOCKS tunnel) stands.
    QByteArray httpRequest() const;

    const DownloadRequest &request() const { return m_request; }
    qint64 receivedBytes() const;
    qint64 downloadLength() const { return m_downloadLength; }
    int httpReply() const { return m_httpReply; }
    bool ended() const { return m_ended; }

private:
    void receiveMore(QByteArrayView bytes, DownloadEvents &events);
    void handshakeBytes(QByteArrayView bytes, DownloadEvents &events);
    void sendSocksMessage(DownloadEvents &events);
    void responseBytes(QByteArrayView bytes, DownloadEvents &events);
    void processHeader(DownloadEvents &events);
    void redirect(const QString &location, DownloadEvents &events);
    void body(QByteArrayView bytes, DownloadEvents &events);
    void fail(DownloadFailure why, DownloadEvents &events, bool fatal = true);

    DownloadRequest m_request;
    QByteArray m_headerText;
    QByteArray m_handshake;
    // Bytes that Body events point into, kept until the next call.
    QByteArray m_afterHeader;
    QByteArray m_afterHandshake;
    bool m_readingHeader = true;
    bool m_handshakeDone = false;
    bool m_replyFailed = false;
    bool m_ended = false;
    int m_socks5Step = 0;
    int m_redirectCount = 0;
    int m_httpReply = 0;
    qint64 m_receivedBytes = 0;
    qint64 m_downloadLength = -1;
};

} // namespace corvanel::update
