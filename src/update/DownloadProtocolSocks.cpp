#include "DownloadProtocol.h"

// The SOCKS 4, 4a and 5 handshakes that come before the request.

namespace corvanel::update {
namespace {

QByteArray portBytes(int port)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>((port >> 8) & 0xFF);
    bytes[1] = static_cast<char>(port & 0xFF);
    return bytes;
}

QByteArray addressBytes(quint32 address)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((address >> (24 - 8 * i)) & 0xFF);
    return bytes;
}

QByteArray socks4Request(const DownloadRequest &r)
{
    QByteArray message("\x04\x01", 2);
    message += portBytes(r.port);
    message += r.proxyUseRemoteDNS ? QByteArray("\0\0\0\1", 4) : addressBytes(r.resolvedAddress);
    message += r.proxyUsername.toUtf8();
    message += '\0';
    if (r.proxyUseRemoteDNS) {
        message += r.hostname.toUtf8();
        message += '\0';
    }
    return message;
}

QByteArray socks5Greeting(int authentication)
{
    if (authentication == 0)
        return QByteArray("\x05\x01\x00", 3);
    QByteArray message("\x05\x02", 2);
    message += static_cast<char>(authentication & 0xFF);
    message += '\x00';
    return message;
}

QByteArray socks5Login(const DownloadRequest &r)
{
    // Each field carries a one-byte length.
    const QByteArray user = r.proxyUsername.toUtf8().left(255);
    const QByteArray password = r.proxyPassword.toUtf8().left(255);
    QByteArray message("\x01", 1);
    message += static_cast<char>(user.size());
    message += user;
    message += static_cast<char>(password.size());
    message += password;
    return message;
}

// Empty when the host name is too long for its one-byte length.
QByteArray socks5Connect(const DownloadRequest &r)
{
    QByteArray message("\x05\x01\x00", 3);
    if (r.proxyUseRemoteDNS) {
        const QByteArray host = r.hostname.toUtf8();
        if (host.size() > 255)
            return QByteArray();
        message += '\x03';
        message += static_cast<char>(host.size());
        message += host;
    } else {
        message += '\x01';
        message += addressBytes(r.resolvedAddress);
    }
    message += portBytes(r.port);
    return message;
}

} // namespace

void DownloadProtocol::sendSocksMessage(DownloadEvents &events)
{
    QByteArray message;
    if (m_request.proxy == ProxyKind::Socks4)
        message = socks4Request(m_request);
    else if (m_socks5Step == 0)
        message = socks5Greeting(m_request.proxyAuthentication);
    else if (m_socks5Step == 1 && m_request.proxyAuthentication == 2)
        message = socks5Login(m_request);
    else
        message = socks5Connect(m_request);
    if (message.isEmpty())
        fail(DownloadFailure::ProxyRejected, events);
    else
        events.push_back({.kind = DownloadEvent::Kind::Send, .bytes = message, .handshake = true});
}

void DownloadProtocol::handshakeBytes(QByteArrayView bytes, DownloadEvents &events)
{
    m_handshake.append(bytes);
    const auto byteAt = [this](qsizetype i) { return static_cast<unsigned char>(m_handshake.at(i)); };
    if (m_handshake.size() < 2)
        return;
    qsizetype replyLength = 2;
    if (m_request.proxy == ProxyKind::Socks4) {
        // VN, CD, port, address: eight bytes; CD 0x5A grants the request.
        if (byteAt(1) != 0x5A)
            return fail(DownloadFailure::ProxyRejected, events);
        if (m_handshake.size() < 8)
            return;
        replyLength = 8;
        m_handshakeDone = true;
    } else if (m_socks5Step == 0) {
        const int method = byteAt(1);
        if (method != 0 && method != 2)
            return fail(DownloadFailure::ProxyMethod, events);
        m_request.proxyAuthentication = method;
        m_socks5Step = 1;
    } else if (m_socks5Step == 1 && m_request.proxyAuthentication == 2) {
        if (byteAt(1) != 0)
            return fail(DownloadFailure::ProxyLogin, events);
        m_socks5Step = 2;
    } else {
        // VER, REP, RSV, ATYP, bound address, bound port.
        if (byteAt(1) != 0)
            return fail(DownloadFailure::ProxyRejected, events);
        if (m_handshake.size() < 4)
            return;
        switch (byteAt(3)) {
        case 1:
            replyLength = 4 + 4 + 2;
            break;
        case 4:
            replyLength = 4 + 16 + 2;
            break;
        case 3:
            if (m_handshake.size() < 5)
                return;
            replyLength = 4 + 1 + byteAt(4) + 2;
            break;
        default:
            return fail(DownloadFailure::ProxyRejected, events);
        }
        if (m_handshake.size() < replyLength)
            return;
        m_handshakeDone = true;
        ++m_socks5Step;
    }
    m_afterHandshake = m_handshake.mid(replyLength);
    m_handshake.clear();
    if (m_handshakeDone)
        events.push_back({.kind = DownloadEvent::Kind::Send, .bytes = httpRequest()});
    else
        sendSocksMessage(events);
    if (!m_ended && !m_afterHandshake.isEmpty())
        receiveMore(m_afterHandshake, events);
}

} // namespace corvanel::update
