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

// A header that never ends would otherwise grow without bound.
constexpr qsizetype kMaxHeaderBytes = 1 << 20;
constexpr qint64 kSocketBufferBytes = 1 << 20;

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
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
