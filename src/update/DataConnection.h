#pragma once
// An HTTP/1.0 download client: one resource at a time into a file, a memory buffer or a
// stream of events, directly or through an HTTP, SOCKS4/4a or SOCKS5 proxy. Everything runs
// on the thread that owns the object, driven by the socket's signals; nothing blocks. The
// protocol itself is DownloadProtocol; this is its socket, its timers and the body's target.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "DownloadProtocol.h"

#include <cstdint>
#include <memory>
#include <optional>

class QFile;
class QTcpSocket;
class QHostInfo;

namespace corvanel::update {

// Starts the socket layer once per process. Qt's sockets need nothing, so it only reports
// success and a description.
bool StartWinsock(QString *description = nullptr);

class DataConnection : public QObject
{
    Q_OBJECT

public:
    explicit DataConnection(QObject *parent = nullptr);
    ~DataConnection() override;

    BodyTarget DownloadType() const { return m_downloadType; }
    void setDownloadType(BodyTarget value) { m_downloadType = value; }
    QString filename() const { return m_filename; }
    void setFilename(const QString &value) { m_filename = value; }
    bool UseTempFile() const { return m_useTempFile; }
    void setUseTempFile(bool value) { m_useTempFile = value; }
    ProxyKind ProxyType() const { return m_proxyType; }
    void setProxyType(ProxyKind value) { m_proxyType = value; }
    QString ProxyHostname() const { return m_proxyHostname; }
    void setProxyHostname(const QString &value) { m_proxyHostname = value; }
    int ProxyPort() const { return m_proxyPort; }
    void setProxyPort(int value) { m_proxyPort = value; }
    QString Hostname() const { return m_hostname; }
    void setHostname(const QString &value) { m_hostname = value; }
    int Port() const { return m_port; }
    void setPort(int value) { m_port = value; }
    QString URL() const { return m_url; }
    void setURL(const QString &value) { m_url = value; }
    QString HttpUser() const { return m_httpUser; }
    void setHttpUser(const QString &value) { m_httpUser = value; }
    QString HttpPass() const { return m_httpPass; }
    void setHttpPass(const QString &value) { m_httpPass = value; }
    bool UseHttpAuthorization() const { return m_useHttpAuthorization; }
    void setUseHttpAuthorization(bool value) { m_useHttpAuthorization = value; }
    int PacketSize() const { return m_packetSize; }
    void setPacketSize(int value)
    {
        if (value > 0)
            m_packetSize = value;
    }
    int ConnectionType() const { return m_connectionType; }
    void setConnectionType(int value) { m_connectionType = value; }
    int id() const { return m_id; }
    void setId(int value) { m_id = value; }
    bool AllowCache() const { return m_allowCache; }
    void setAllowCache(bool value) { m_allowCache = value; }
    QString ProxyUsername() const { return m_proxyUsername; }
    void setProxyUsername(const QString &value) { m_proxyUsername = value; }
    QString ProxyPassword() const { return m_proxyPassword; }
    void setProxyPassword(const QString &value) { m_proxyPassword = value; }
    bool ProxyUseRemoteDNS() const { return m_proxyUseRemoteDNS; }
    void setProxyUseRemoteDNS(bool value) { m_proxyUseRemoteDNS = value; }
    int ProxyAuthentication() const { return m_proxyAuthentication; }
    void setProxyAuthentication(int value) { m_proxyAuthentication = value; }
    bool IsConnected() const { return m_isConnected; }
    qint64 ReceivedBytes() const;
    qint64 RealReceivedBytes() const;
    qint64 MaxDownload() const { return m_maxDownload; }
    void setMaxDownload(qint64 value) { m_maxDownload = value; }
    qint64 DownloadLength() const { return m_protocol.downloadLength(); }
    int HTTPReply() const { return m_protocol.httpReply(); }
    bool UseResume() const { return m_useResume; }
    void setUseResume(bool value) { m_useResume = value; }
    qint64 ResumeFrom() const { return m_resumeFrom; }
    void setResumeFrom(qint64 value) { m_resumeFrom = value; }
    bool AutoRedirect() const { return m_autoRedirect; }
    void setAutoRedirect(bool value) { m_autoRedirect = value; }
    // The socket's descriptor, -1 when there is none.
    qintptr SocketHandle() const;

    void FetchURLString(const QString &sURL);
    void FetchURL();
    void Disconnect();

    // Copies the buffer into bytes and returns its size; 0 (bytes untouched) when it is empty.
    qint64 GetBuffer(QByteArray &bytes);
    QString GetBufferAsString() const;
    qint64 GetBufferSize() const { return m_buffer.size(); }
    void ClearBuffer();

    static QString FailureToString(int Why) { return failureText(Why); }
    static QString ToBase64(const QString &sNormString);
    // Creates an empty file "<8 characters>.tmp" in the temporary folder and returns its name.
    static QString MakeTempFileName();

    // Limits that keep a silent peer from holding the transfer forever.
    void setConnectTimeout(int milliseconds) { m_connectTimeoutMs = milliseconds; }
    void setStallTimeout(int milliseconds) { m_stallTimeoutMs = milliseconds; }
    // How often the memory buffer has been moved to a larger allocation since the last clear.
    int bufferReallocations() const { return m_bufferReallocations; }
    // Ends the transfer without raising any event; the target file is closed.
    void abortSilently();

    // The request that FetchURL sends, as it stands.
    QByteArray buildRequest() const;

signals:
    void Connected(int id);
    void Disconnected(int id);
    void DownloadFailed(int Why, int id);
    void BytesReceived(qint64 count, int id);
    void StreamBytes(int count, const QByteArray &bytes, int id);
    void QuerySent(int id);
    void ObjectMoved(const QString &location, int id);

private:
    enum class Phase { Idle, Resolving, Connecting, Connected, Closed };

    void resetForFetch();
    bool openTargetFile();
    // Writes what is buffered and closes the file; complete: also waits until it is on the
    // disk. False when any of it failed.
    bool closeTargetFile(bool complete = false);
    bool writeToFile(const char *bytes, qint64 count);
    bool flushFile();
    void dropSocket();
    void startConnecting();
    void onResolved(const QHostInfo &info);
    void connectSocket();
    void onSocketConnected();
    void onSocketReadyRead();
    void onSocketDisconnected();
    void onSocketError();
    void onConnectTimeout();
    void onStallTimeout();

    DownloadRequest currentRequest() const;
    void readResponse();
    void receiveBlock(QByteArrayView block);
    // Carries out the protocol's events in order; false once one of them ended the transfer
    // or a handler started another.
    bool handle(const DownloadEvents &events);
    bool handleEvent(const DownloadEvent &event);
    bool sendBytes(const QByteArray &bytes);
    bool applyReply(int code);
    void followRedirect(const DownloadEvent &event);
    bool StoreData(QByteArrayView bytes);
    void appendToBuffer(QByteArrayView bytes);
    void closeHandling();
    void fail(DownloadFailure why);
    void failAndClose(DownloadFailure why);
    bool proxied() const { return m_proxyType != ProxyKind::Direct; }

    // Properties.
    BodyTarget m_downloadType = BodyTarget::File;
    QString m_filename;
    bool m_useTempFile = true;
    ProxyKind m_proxyType = ProxyKind::Direct;
    QString m_proxyHostname = QStringLiteral("localhost");
    int m_proxyPort = 80;
    QString m_hostname;
    int m_port = 80;
    QString m_url;
    QString m_httpUser;
    QString m_httpPass;
    bool m_useHttpAuthorization = false;
    int m_packetSize = 1024;
    int m_connectionType = 0;
    int m_id = 0;
    bool m_allowCache = false;
    QString m_proxyUsername;
    QString m_proxyPassword;
    bool m_proxyUseRemoteDNS = false;
    int m_proxyAuthentication = 0;
    bool m_isConnected = false;
    qint64 m_maxDownload = -1;
    bool m_useResume = false;
    qint64 m_resumeFrom = 0;
    bool m_autoRedirect = true;

    // Transfer state.
    DownloadProtocol m_protocol;
    // Rises with every fetch, so that event handling notices a handler that started another.
    quint64 m_fetchNumber = 0;
    Phase m_phase = Phase::Idle;
    QTcpSocket *m_socket = nullptr;
    std::unique_ptr<QFile> m_file;
    QByteArray m_buffer;
    int m_bufferReallocations = 0;
    QByteArray m_readBlock;  // reused for every receive
    QByteArray m_fileBuffer; // body bytes on their way to the file
    bool m_closed = false;
    bool m_aborted = false;
    bool m_redirecting = false;
    bool m_inCloseHandling = false;
    quint32 m_resolvedAddress = 0xFFFFFFFFu;
    int m_lookupId = -1;

    QTimer m_connectTimer;
    QTimer m_stallTimer;
    int m_connectTimeoutMs = 30000;
    int m_stallTimeoutMs = 60000;
};

} // namespace corvanel::update
