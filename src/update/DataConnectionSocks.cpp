#include "DataConnection.h"

#include <QByteArray>
#include <QTcpSocket>

#include <algorithm>

// The SOCKS 4, 4a and 5 handshakes of the download client.

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

} // namespace

void DataConnection::sendSocksMessage()
{
    QByteArray message;
    const QByteArray host = m_hostname.toUtf8();
    if (m_proxyType == 2) {
        message += '\x04';
        message += '\x01';
        message += portBytes(m_port);
        message += m_proxyUseRemoteDNS ? QByteArray("\0\0\0\1", 4) : addressBytes(m_resolvedAddress);
        message += m_proxyUsername.toUtf8();
        message += '\0';
        if (m_proxyUseRemoteDNS) {
            message += host;
            message += '\0';
        }
    } else if (m_socks5Step == 0) {
        message += '\x05';
        if (m_proxyAuthentication == 0) {
            message += '\x01';
            message += '\x00';
        } else {
            message += '\x02';
            message += static_cast<char>(m_proxyAuthentication & 0xFF);
            message += '\x00';
        }
    } else if (m_socks5Step == 1 && m_proxyAuthentication == 2) {
        // Each field carries a one-byte length.
        const QByteArray user = m_proxyUsername.toUtf8().left(255);
        const QByteArray password = m_proxyPassword.toUtf8().left(255);
        message += '\x01';
        message += static_cast<char>(user.size());
        message += user;
        message += static_cast<char>(password.size());
        message += password;
    } else {
        message += QByteArray("\x05\x01\x00", 3);
        if (m_proxyUseRemoteDNS) {
            if (host.size() > 255) {
                failAndClose(FailProxyRejected);
                return;
            }
            message += '\x03';
            message += static_cast<char>(host.size());
            message += host;
        } else {
            message += '\x01';
            message += addressBytes(m_resolvedAddress);
        }
        message += portBytes(m_port);
    }
    if (!sendBytes(message))
        failAndClose(FailConnectProxy);
}

void DataConnection::handleHandshakeBytes(QByteArrayView bytes)
{
    m_handshakeBytes.append(bytes);
    const auto byteAt = [this](qsizetype i) { return static_cast<unsigned char>(m_handshakeBytes.at(i)); };
    qsizetype replyLength = 0;
    if (m_proxyType == 2) {
        // VN, CD, port, address: eight bytes; CD 0x5A grants the request.
        if (m_handshakeBytes.size() < 2)
            return;
        if (byteAt(1) != 0x5A) {
            failAndClose(FailProxyRejected);
            return;
        }
        if (m_handshakeBytes.size() < 8)
            return;
        replyLength = 8;
        m_handshakeDone = true;
    } else if (m_socks5Step == 0) {
        if (m_handshakeBytes.size() < 2)
            return;
        const int method = byteAt(1);
        if (method == 0xFF || (method != 0 && method != 2)) {
            failAndClose(FailProxyMethod);
            return;
        }
        m_proxyAuthentication = method;
        m_socks5Step = 1;
        replyLength = 2;
    } else if (m_socks5Step == 1 && m_proxyAuthentication == 2) {
        if (m_handshakeBytes.size() < 2)
            return;
        if (byteAt(1) != 0) {
            failAndClose(FailProxyLogin);
            return;
        }
        m_socks5Step = 2;
        replyLength = 2;
    } else {
        // VER, REP, RSV, ATYP, bound address, bound port.
        if (m_handshakeBytes.size() < 2)
            return;
        if (byteAt(1) != 0) {
            failAndClose(FailProxyRejected);
            return;
        }
        if (m_handshakeBytes.size() < 4)
            return;
        switch (byteAt(3)) {
        case 1:
            replyLength = 4 + 4 + 2;
            break;
        case 4:
            replyLength = 4 + 16 + 2;
            break;
        case 3:
            if (m_handshakeBytes.size() < 5)
                return;
            replyLength = 4 + 1 + byteAt(4) + 2;
            break;
        default:
            failAndClose(FailProxyRejected);
            return;
        }
        if (m_handshakeBytes.size() < replyLength)
            return;
        m_handshakeDone = true;
        ++m_socks5Step;
    }
    const QByteArray rest = m_handshakeBytes.mid(replyLength);
    m_handshakeBytes.clear();
    const QPointer<DataConnection> self(this);
    if (m_handshakeDone)
        sendHttpRequest();
    else
        sendSocksMessage();
    if (!self || m_phase != Phase::Connected || rest.isEmpty())
        return;
    receiveBlock(rest);
}
