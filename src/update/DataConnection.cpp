#include "DataConnection.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <unistd.h>

namespace {

#define CORVANEL_STR2(x) #x
#define CORVANEL_STR(x) CORVANEL_STR2(x)
constexpr const char kUserAgent[] = "Corvanel/" CORVANEL_STR(CORVANEL_VERSION_MAJOR) "." CORVANEL_STR(
    CORVANEL_VERSION_MINOR) "." CORVANEL_STR(CORVANEL_VERSION_PATCH);
#undef CORVANEL_STR
#undef CORVANEL_STR2

// A header that never ends would otherwise grow without bound.
constexpr qsizetype kMaxHeaderBytes = 1 << 20;
constexpr int kMaxRedirects = 10;
constexpr qint64 kSocketBufferBytes = 1 << 20;
// Body bytes reach the file in large page-aligned writes, whatever the packet size.
constexpr qsizetype kFileBufferBytes = 256 * 1024;

// The numeric value of the leading part of a text: blanks, an optional sign, digits.
// Saturates instead of overflowing.
qint64 leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    constexpr qint64 limit = std::numeric_limits<qint64>::max() / 10 - 10;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (value < limit)
            value = value * 10 + (text[i].unicode() - u'0');
    }
    return negative ? -value : value;
}

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

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

bool StartWinsock(QString *description)
{
    if (description)
        *description = QStringLiteral("Qt Network");
    return true;
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
        qint64 port = 0;
        for (qsizetype i = colon + 1; i < host.size() && host[i].isDigit() && port <= 65535; ++i)
            port = port * 10 + host[i].digitValue();
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

DataConnection::DataConnection(QObject *parent) : QObject(parent)
{
    ClearBuffer();
    m_connectTimer.setSingleShot(true);
    m_stallTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &DataConnection::onConnectTimeout);
    connect(&m_stallTimer, &QTimer::timeout, this, &DataConnection::onStallTimeout);
}

DataConnection::~DataConnection()
{
    abortSilently();
}

qint64 DataConnection::ReceivedBytes() const
{
    return m_maxDownload >= 0 ? std::min(m_receivedBytes, m_maxDownload) : m_receivedBytes;
}

qint64 DataConnection::RealReceivedBytes() const
{
    return m_useResume ? ReceivedBytes() - m_resumeFrom : ReceivedBytes();
}

qintptr DataConnection::SocketHandle() const
{
    return m_socket ? m_socket->socketDescriptor() : -1;
}

void DataConnection::FetchURLString(const QString &sURL)
{
    const std::optional<HttpAddress> address = parseHttpAddress(sURL);
    if (!address) {
        emit DownloadFailed(FailBadAddress, m_id);
        return;
    }
    m_url = sURL;
    m_hostname = address->host;
    m_port = address->port;
    FetchURL();
}

void DataConnection::resetForFetch()
{
    m_closed = false;
    m_readingHeader = true;
    m_headerText.clear();
    m_handshakeBytes.clear();
    m_handshakeDone = false;
    m_receivedBytes = 0;
    m_downloadLength = -1;
    m_socks5Step = 0;
    m_httpReply = 0;
    m_aborted = false;
    m_inCloseHandling = false;
    m_replyFailed = false;
    ClearBuffer();
    if (m_resumeFrom <= 0)
        m_useResume = false;
}

void DataConnection::FetchURL()
{
    m_withoutSocket = false;
    if (!m_redirecting) {
        m_redirectCount = 0;
        closeTargetFile();
    }
    m_connectTimer.stop();
    m_stallTimer.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    resetForFetch();
    if (m_downloadType == 0 && !m_redirecting) {
        if (m_useTempFile)
            m_filename = MakeTempFileName();
        if (!openTargetFile()) {
            m_phase = Phase::Closed;
            m_closed = true;
            emit DownloadFailed(FailCreateFile, m_id);
            return;
        }
    }
    dropSocket();
    m_isConnected = false;
    startConnecting();
}

bool DataConnection::openTargetFile()
{
    if (m_filename.isEmpty())
        return false;
    auto file = std::make_unique<QFile>(m_filename);
    // Resuming keeps what is there; otherwise the file starts empty.
    // Blocks go straight to the file: they are already as large as a buffer would make them.
    const QIODevice::OpenMode mode =
        QIODevice::Unbuffered | (m_useResume ? QIODevice::ReadWrite : (QIODevice::WriteOnly | QIODevice::Truncate));
    if (!file->open(mode))
        return false;
    m_file = std::move(file);
    return true;
}

bool DataConnection::closeTargetFile(bool complete)
{
    bool written = true;
    if (m_file) {
        written = flushFile();
        // A complete file is on the disk before its caller gives it a name to be found by;
        // a device that cannot be synced has nothing to wait for.
        if (written && complete && ::fsync(m_file->handle()) != 0 && errno != EINVAL && errno != EROFS)
            written = false;
        m_file->unsetError();
        m_file->close();
        written = written && m_file->error() == QFileDevice::NoError;
        m_file.reset();
    }
    m_fileBuffer.clear();
    return written;
}

bool DataConnection::writeToFile(const char *bytes, qint64 count)
{
    if (m_fileBuffer.capacity() < kFileBufferBytes)
        m_fileBuffer.reserve(kFileBufferBytes);
    while (count > 0) {
        const qint64 room = kFileBufferBytes - m_fileBuffer.size();
        const qint64 part = std::min(room, count);
        m_fileBuffer.append(bytes, static_cast<qsizetype>(part));
        bytes += part;
        count -= part;
        if (m_fileBuffer.size() == kFileBufferBytes && !flushFile())
            return false;
    }
    return true;
}

bool DataConnection::flushFile()
{
    if (m_fileBuffer.isEmpty() || !m_file)
        return true;
    const bool written = m_file->write(m_fileBuffer) == m_fileBuffer.size();
    m_fileBuffer.resize(0);
    return written;
}

void DataConnection::dropSocket()
{
    if (!m_socket)
        return;
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void DataConnection::startConnecting()
{
    m_connectTimer.start(m_connectTimeoutMs);
    const bool socksNeedsAddress = socksProxy() && !m_proxyUseRemoteDNS;
    if (socksNeedsAddress) {
        QHostAddress literal;
        if (literal.setAddress(m_hostname) && literal.protocol() == QAbstractSocket::IPv4Protocol) {
            m_resolvedAddress = literal.toIPv4Address();
        } else {
            // The proxy is told the origin's address; resolving it must not block.
            m_phase = Phase::Resolving;
            m_lookupId = QHostInfo::lookupHost(m_hostname, this, &DataConnection::onResolved);
            return;
        }
    }
    connectSocket();
}

void DataConnection::onResolved(const QHostInfo &info)
{
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    // An unresolvable name goes to the proxy as 255.255.255.255, which refuses it.
    m_resolvedAddress = 0xFFFFFFFFu;
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            m_resolvedAddress = address.toIPv4Address();
            break;
        }
    }
    connectSocket();
}

void DataConnection::connectSocket()
{
    const QString host = proxied() ? m_proxyHostname : m_hostname;
    const int port = proxied() ? m_proxyPort : m_port;
    m_phase = Phase::Connecting;
    if (port < 1 || port > 65535 || host.isEmpty()) {
        onSocketError();
        return;
    }
    m_socket = new QTcpSocket(this);
    m_socket->setProxy(QNetworkProxy::NoProxy);
    // What the socket holds for us is bounded; the rest waits in the kernel, which slows the
    // sender instead of growing our memory.
    m_socket->setReadBufferSize(std::max<qint64>(kSocketBufferBytes, m_packetSize));
    connect(m_socket, &QTcpSocket::connected, this, &DataConnection::onSocketConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &DataConnection::onSocketReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &DataConnection::onSocketDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &DataConnection::onSocketError);
    m_socket->connectToHost(host, static_cast<quint16>(port));
}

void DataConnection::onSocketConnected()
{
    m_connectTimer.stop();
    m_phase = Phase::Connected;
    m_isConnected = true;
    m_stallTimer.start(m_stallTimeoutMs);
    if (!m_redirecting) {
        const QPointer<DataConnection> self(this);
        emit Connected(m_id);
        if (!self || m_phase != Phase::Connected)
            return;
    }
    onWritable();
}

void DataConnection::onWritable()
{
    if (socksProxy() && !m_handshakeDone)
        sendSocksMessage();
    else
        sendHttpRequest();
}

bool DataConnection::sendBytes(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    if (m_withoutSocket) {
        m_sentWithoutSocket += bytes;
        return true;
    }
    return m_socket && m_socket->write(bytes) == bytes.size();
}

QByteArray DataConnection::buildRequest() const
{
    // An HTTP proxy needs the whole address; an origin server (also behind SOCKS, which is
    // a plain tunnel) is asked for the path alone, as HTTP/1.0 servers expect.
    QByteArray target = m_url.toUtf8();
    if (m_proxyType != 1) {
        const qsizetype scheme = target.indexOf("://");
        const qsizetype path = scheme >= 0 ? target.indexOf('/', scheme + 3) : -1;
        target = path >= 0 ? target.mid(path) : QByteArray("/");
    }
    QByteArray request;
    request += "GET " + target + " HTTP/1.0\r\n";
    request += "Accept: */*\r\n";
    request += QByteArray("User-Agent: ") + kUserAgent + "\r\n";
    request += "Host: " + m_hostname.toUtf8() + "\r\n";
    if (m_useResume)
        request += "Range: bytes=" + QByteArray::number(m_resumeFrom) + "-\r\n";
    if (m_proxyType == 1)
        request += "Proxy-Connection: Keep-Alive\r\n";
    if (!m_allowCache) {
        request += "Pragma: no-cache\r\n";
        request += "Cache-Control: no-cache\r\n";
    }
    if (m_useHttpAuthorization && !(m_httpUser.isEmpty() && m_httpPass.isEmpty()))
        request += "Authorization: Basic " + ToBase64(m_httpUser + QLatin1Char(':') + m_httpPass).toLatin1() + "\r\n";
    request += "\r\n";
    return request;
}

void DataConnection::sendHttpRequest()
{
    if (!sendBytes(buildRequest())) {
        failAndClose(FailSend);
        return;
    }
    emit QuerySent(m_id);
}

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

void DataConnection::onSocketReadyRead()
{
    readResponse();
}

void DataConnection::readResponse()
{
    const QPointer<DataConnection> self(this);
    QTcpSocket *const socket = m_socket;
    if (m_readBlock.size() != m_packetSize)
        m_readBlock.resize(m_packetSize);
    while (socket && m_socket == socket && m_phase == Phase::Connected && socket->bytesAvailable() > 0) {
        const qint64 count = socket->read(m_readBlock.data(), m_packetSize);
        if (count <= 0)
            break;
        receiveBlock(QByteArrayView(m_readBlock.constData(), count));
        if (!self)
            return;
    }
}

void DataConnection::receive(const QByteArray &block)
{
    receiveBlock(block);
}

void DataConnection::receiveBlock(QByteArrayView block)
{
    if (m_phase != Phase::Connected || block.isEmpty())
        return;
    m_stallTimer.start(m_stallTimeoutMs);
    if (socksProxy() && !m_handshakeDone)
        handleHandshakeBytes(block);
    else
        handleResponseBytes(block);
}

void DataConnection::handleResponseBytes(QByteArrayView bytes)
{
    if (!m_readingHeader) {
        StoreData(bytes.data(), bytes.size());
        return;
    }
    const qsizetype searchFrom = std::max<qsizetype>(0, m_headerText.size() - 3);
    m_headerText.append(bytes);
    const qsizetype end = m_headerText.indexOf("\r\n\r\n", searchFrom);
    if (end < 0) {
        if (m_headerText.size() > kMaxHeaderBytes)
            failAndClose(FailBadReply);
        return;
    }
    const QByteArray body = m_headerText.mid(end + 4);
    m_headerText.truncate(end + 4);
    m_readingHeader = false;
    const QPointer<DataConnection> self(this);
    ProcessHeader();
    if (!self || m_redirecting || m_phase != Phase::Connected || body.isEmpty())
        return;
    StoreData(body.constData(), body.size());
}

void DataConnection::ProcessHeader()
{
    m_redirecting = false;
    m_location.clear();
    QString header = QString::fromLatin1(m_headerText);
    const QString status = PopLine(header);
    while (!header.isEmpty()) {
        const QString line = PopLine(header);
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString name = line.left(colon).toLower();
        if (name == QLatin1String("content-length")) {
            m_downloadLength = leadingNumber(QStringView(line).mid(15)) + (m_useResume ? m_resumeFrom : 0);
        } else if (name == QLatin1String("location")) {
            m_location = line.mid(9).trimmed();
        }
    }
    const qsizetype first = status.indexOf(QLatin1Char(' '));
    const qsizetype second = first >= 0 ? status.indexOf(QLatin1Char(' '), first + 1) : -1;
    if (second < 0 || second == first + 1) {
        m_httpReply = 999;
        m_replyFailed = true;
        emit DownloadFailed(FailBadReply, m_id);
        return;
    }
    const qint64 code = leadingNumber(QStringView(status).mid(first + 1, second - first - 1));
    m_httpReply =
        static_cast<int>(std::clamp<qint64>(code, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (m_httpReply == 206) {
        if (m_useResume)
            m_receivedBytes = m_resumeFrom;
        const bool resumeAt = m_downloadType == 0 && m_file && m_useResume && m_file->size() >= m_resumeFrom;
        if (!flushFile() || (resumeAt && !m_file->seek(m_resumeFrom))) {
            failAndClose(FailCreateFile);
            return;
        }
    } else if (m_httpReply == 200) {
        // A whole body instead of the asked-for rest: its length stands alone.
        if (m_useResume && m_downloadLength != -1)
            m_downloadLength -= m_resumeFrom;
        m_useResume = false;
        m_fileBuffer.resize(0);
        // A device (a pipe, /dev/full) has nothing to rewind.
        if (m_downloadType == 0 && m_file && !m_file->isSequential() && !(m_file->seek(0) && m_file->resize(0))) {
            failAndClose(FailCreateFile);
            return;
        }
    } else if ((m_httpReply == 301 || m_httpReply == 302) && !m_location.isEmpty()) {
        if (!m_autoRedirect) {
            emit ObjectMoved(m_location, m_id);
            return;
        }
        followRedirect();
    } else {
        m_replyFailed = true;
        emit DownloadFailed(FailBadReply, m_id);
    }
}

bool DataConnection::followRedirect()
{
    if (++m_redirectCount > kMaxRedirects) {
        failAndClose(FailBadReply);
        return false;
    }
    const QUrl location(m_location);
    QString target = m_location;
    if (location.isRelative() || m_location.startsWith(QLatin1String("//")))
        target = QUrl(m_url).resolved(location).toString();
    const std::optional<HttpAddress> address = parseHttpAddress(target);
    if (!address) {
        failAndClose(FailBadReply);
        return false;
    }
    m_redirecting = true;
    m_url = target;
    m_hostname = address->host;
    m_port = address->port;
    FetchURL();
    return true;
}

void DataConnection::StoreData(const char *bytes, qint64 count)
{
    if (m_maxDownload >= 0 && m_receivedBytes + count >= m_maxDownload) {
        count = m_maxDownload - m_receivedBytes;
        if (count < 1) {
            closeHandling();
            return;
        }
    }
    m_receivedBytes += count;
    switch (m_downloadType) {
    case 0:
        if (m_file && !writeToFile(bytes, count)) {
            failAndClose(FailCreateFile);
            return;
        }
        break;
    case 1:
        appendToBuffer(bytes, count);
        break;
    case 2: {
        const QPointer<DataConnection> self(this);
        emit StreamBytes(static_cast<int>(count), QByteArray(bytes, count), m_id);
        if (!self)
            return;
        break;
    }
    default:
        break;
    }
    emit BytesReceived(ReceivedBytes(), m_id);
}

void DataConnection::appendToBuffer(const char *bytes, qint64 count)
{
    // The container grows geometrically and reallocates in place where it can, so appends
    // stay amortised without copying the whole buffer a hundred times.
    const qsizetype capacity = m_buffer.capacity();
    m_buffer.append(bytes, static_cast<qsizetype>(count));
    if (m_buffer.capacity() != capacity)
        ++m_bufferReallocations;
}

qint64 DataConnection::GetBuffer(QByteArray &bytes)
{
    if (m_buffer.isEmpty())
        return 0;
    m_buffer.squeeze();
    bytes = m_buffer;
    return m_buffer.size();
}

QString DataConnection::GetBufferAsString() const
{
    return QString::fromLocal8Bit(m_buffer);
}

void DataConnection::ClearBuffer()
{
    m_buffer = QByteArray();
    m_bufferReallocations = 0;
}

void DataConnection::closeHandling()
{
    if (m_closed || m_inCloseHandling)
        return;
    m_inCloseHandling = true;
    const QPointer<DataConnection> self(this);
    // Whatever the socket still holds belongs to this transfer.
    if (m_socket && m_phase == Phase::Connected) {
        readResponse();
        if (!self)
            return;
    }
    m_inCloseHandling = false;
    if (m_redirecting || m_closed)
        return;
    const bool fileWritten = closeTargetFile(!m_aborted && !m_replyFailed);
    m_isConnected = false;
    m_closed = true;
    m_phase = Phase::Closed;
    m_connectTimer.stop();
    m_stallTimer.stop();
    dropSocket();
    if (m_aborted) {
        emit DownloadFailed(FailAborted, m_id);
    } else if (socksProxy() && !m_handshakeDone) {
        emit DownloadFailed(FailProxyRejected, m_id);
    } else if (m_replyFailed) {
        // The failure has been reported already.
    } else if (!fileWritten) {
        // The last bytes reach the file only now: a full disk must not pass for a whole file.
        emit DownloadFailed(FailCreateFile, m_id);
    } else if (m_readingHeader) {
        emit DownloadFailed(FailClosedEarly, m_id);
    } else if (m_downloadLength != -1 && m_downloadLength != ReceivedBytes() &&
               (ReceivedBytes() < m_maxDownload || m_maxDownload < 0)) {
        emit DownloadFailed(FailClosedEarly, m_id);
    } else {
        emit Disconnected(m_id);
    }
}

void DataConnection::fail(int why)
{
    emit DownloadFailed(why, m_id);
}

void DataConnection::failAndClose(int why)
{
    closeTargetFile();
    m_isConnected = false;
    m_closed = true;
    m_phase = Phase::Closed;
    m_redirecting = false;
    m_connectTimer.stop();
    m_stallTimer.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    dropSocket();
    fail(why);
}

void DataConnection::Disconnect()
{
    if (m_phase == Phase::Resolving || m_phase == Phase::Connecting) {
        m_aborted = true;
        failAndClose(FailAborted);
        return;
    }
    if (m_phase != Phase::Connected)
        return;
    m_aborted = true;
    m_redirecting = false;
    closeHandling();
    dropSocket();
    m_isConnected = false;
}

void DataConnection::abortSilently()
{
    m_connectTimer.stop();
    m_stallTimer.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    dropSocket();
    closeTargetFile();
    m_isConnected = false;
    m_closed = true;
    m_redirecting = false;
    m_phase = Phase::Idle;
}

void DataConnection::onSocketDisconnected()
{
    if (m_phase == Phase::Connected)
        closeHandling();
}

void DataConnection::onSocketError()
{
    if (m_phase == Phase::Resolving || m_phase == Phase::Connecting) {
        failAndClose(proxied() ? FailConnectProxy : FailConnectHost);
        return;
    }
    if (m_phase != Phase::Connected)
        return;
    if (m_socket && m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        closeHandling();
        return;
    }
    // Anything else (a reset, a network failure) ends the transfer; keep what arrived first.
    readResponse();
    if (m_phase == Phase::Connected)
        failAndClose(FailClosedEarly);
}

void DataConnection::onConnectTimeout()
{
    if (m_phase == Phase::Resolving || m_phase == Phase::Connecting)
        failAndClose(proxied() ? FailConnectProxy : FailConnectHost);
}

void DataConnection::onStallTimeout()
{
    if (m_phase == Phase::Connected)
        failAndClose(FailClosedEarly);
}

void DataConnection::startWithoutSocket()
{
    abortSilently();
    m_redirecting = false;
    resetForFetch();
    m_withoutSocket = true;
    m_sentWithoutSocket.clear();
    m_resolvedAddress = 0x7F000001u;
    m_phase = Phase::Connected;
    m_isConnected = true;
    onWritable();
}

void DataConnection::remoteClosed()
{
    if (m_phase == Phase::Connected)
        closeHandling();
}

QString DataConnection::FailureToString(int Why)
{
    switch (Why) {
    case 0:
        return QStringLiteral(
            "The connection with the proxy or host has been closed, before downloading the entire file.");
    case 1:
        return QStringLiteral("The download has been aborted by the user.");
    case 2:
        return QStringLiteral("Unable to create a necessary window.");
    case 3:
        return QStringLiteral("Unable to send data to the host or proxy");
    case 4:
        return QStringLiteral("The server didn't reply with a 200 or 206 reply code.");
    case 5:
        return QStringLiteral("Unable to connect to the host.");
    case 6:
        return QStringLiteral("Unable to create the file, specified in the Filename property.");
    case 7:
        return QStringLiteral("Unable to connect to the proxy or unable to send data to it.");
    case 8:
        return QStringLiteral("The connection request has failed or the proxy server has rejected it.");
    case 9:
        return QStringLiteral("The selected authentication method was not accepted by the proxy.");
    case 10:
        return QStringLiteral("The user/password combination was not accepted by the proxy.");
    default:
        return QStringLiteral("Unknown Error!");
    }
}

QString DataConnection::ToBase64(const QString &sNormString)
{
    return QString::fromLatin1(sNormString.toLocal8Bit().toBase64());
}

QString DataConnection::MakeTempFileName()
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/XXXXXXXX.tmp"));
    file.setAutoRemove(false);
    if (!file.open())
        return QString();
    return file.fileName();
}
