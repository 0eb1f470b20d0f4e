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

namespace corvanel::update {
namespace {
constexpr qint64 kSocketBufferBytes = 1 << 20;
} // namespace

bool StartWinsock(QString *description)
{
    if (description)
        *description = QStringLiteral("Qt Network");
    return true;
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
    return m_protocol.receivedBytes();
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
        fail(DownloadFailure::BadAddress);
        return;
    }
    m_url = sURL;
    m_hostname = address->host;
    m_port = address->port;
    FetchURL();
}

void DataConnection::resetForFetch()
{
    ++m_fetchNumber;
    m_closed = false;
    m_aborted = false;
    m_inCloseHandling = false;
    ClearBuffer();
    if (m_resumeFrom <= 0)
        m_useResume = false;
}

DownloadRequest DataConnection::currentRequest() const
{
    DownloadRequest request;
    request.url = m_url;
    request.hostname = m_hostname;
    request.port = m_port;
    request.proxy = m_proxyType;
    request.proxyUsername = m_proxyUsername;
    request.proxyPassword = m_proxyPassword;
    request.proxyUseRemoteDNS = m_proxyUseRemoteDNS;
    request.proxyAuthentication = m_proxyAuthentication;
    request.resolvedAddress = m_resolvedAddress;
    request.useHttpAuthorization = m_useHttpAuthorization;
    request.httpUser = m_httpUser;
    request.httpPass = m_httpPass;
    request.allowCache = m_allowCache;
    request.useResume = m_useResume;
    request.resumeFrom = m_resumeFrom;
    request.maxDownload = m_maxDownload;
    request.autoRedirect = m_autoRedirect;
    return request;
}

QByteArray DataConnection::buildRequest() const
{
    DownloadProtocol protocol;
    protocol.start(currentRequest());
    return protocol.httpRequest();
}

void DataConnection::FetchURL()
{
    if (!m_redirecting)
        closeTargetFile();
    m_connectTimer.stop();
    m_stallTimer.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    resetForFetch();
    if (m_downloadType == BodyTarget::File && !m_redirecting) {
        if (m_useTempFile)
            m_filename = MakeTempFileName();
        if (!openTargetFile()) {
            m_phase = Phase::Closed;
            m_closed = true;
            fail(DownloadFailure::CreateFile);
            return;
        }
    }
    dropSocket();
    m_isConnected = false;
    // A fetch that cannot start at once still reports the length and reply of this one.
    m_protocol.start(currentRequest(), m_redirecting);
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
    const bool socksNeedsAddress = currentRequest().socks() && !m_proxyUseRemoteDNS;
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
    handle(m_protocol.start(currentRequest(), m_redirecting));
}

bool DataConnection::sendBytes(const QByteArray &bytes)
{
    return bytes.isEmpty() || (m_socket && m_socket->write(bytes) == bytes.size());
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

void DataConnection::receiveBlock(QByteArrayView block)
{
    if (m_phase != Phase::Connected || block.isEmpty())
        return;
    m_stallTimer.start(m_stallTimeoutMs);
    handle(m_protocol.receive(block));
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
    const DownloadProtocol::Outcome outcome = m_protocol.closeOutcome();
    const bool fileWritten = closeTargetFile(!m_aborted && outcome != DownloadProtocol::Outcome::AlreadyReported);
    m_isConnected = false;
    m_closed = true;
    m_phase = Phase::Closed;
    m_connectTimer.stop();
    m_stallTimer.stop();
    dropSocket();
    using Outcome = DownloadProtocol::Outcome;
    if (m_aborted)
        fail(DownloadFailure::Aborted);
    else if (outcome == Outcome::ProxyRejected)
        fail(DownloadFailure::ProxyRejected);
    else if (outcome == Outcome::AlreadyReported)
        return;
    else if (!fileWritten) // The last bytes reach the file only now: a full disk is no whole file.
        fail(DownloadFailure::CreateFile);
    else if (outcome == Outcome::ClosedEarly)
        fail(DownloadFailure::ClosedEarly);
    else
        emit Disconnected(m_id);
}

void DataConnection::fail(DownloadFailure why)
{
    emit DownloadFailed(static_cast<int>(why), m_id);
}

void DataConnection::failAndClose(DownloadFailure why)
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
        failAndClose(DownloadFailure::Aborted);
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
        failAndClose(proxied() ? DownloadFailure::ConnectProxy : DownloadFailure::ConnectHost);
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
        failAndClose(DownloadFailure::ClosedEarly);
}

void DataConnection::onConnectTimeout()
{
    if (m_phase == Phase::Resolving || m_phase == Phase::Connecting)
        failAndClose(proxied() ? DownloadFailure::ConnectProxy : DownloadFailure::ConnectHost);
}

void DataConnection::onStallTimeout()
{
    if (m_phase == Phase::Connected)
        failAndClose(DownloadFailure::ClosedEarly);
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

} // namespace corvanel::update
