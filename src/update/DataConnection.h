#pragma once
// An HTTP/1.0 download client: one resource at a time into a file, a memory buffer or a
// stream of events, directly or through an HTTP, SOCKS4/4a or SOCKS5 proxy. Everything runs
// on the thread that owns the object, driven by the socket's signals; nothing blocks.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>

class QFile;
class QTcpSocket;
class QHostInfo;

// Failure codes of DownloadFailed.
enum DataConnectionFailure : int {
    FailClosedEarly = 0,
    FailAborted = 1,
    FailNoWindow = 2,
    FailSend = 3,
    FailBadReply = 4,
    FailConnectHost = 5,
    FailCreateFile = 6,
    FailConnectProxy = 7,
    FailProxyRejected = 8,
    FailProxyMethod = 9,
    FailProxyLogin = 10,
    FailBadAddress = 11,
};

// The first line of a text and the rest after its CR LF; without CR LF the whole text.
QString PopLine(QString &text);

// Starts the socket layer once per process. Qt's sockets need nothing, so it only reports
// success and a description.
bool StartWinsock(QString *description = nullptr);

// What an address given to FetchURLString is made of.
struct HttpAddress
{
    QString host; // lower case
    int port = 80;
};
// Parses "http://host[:port][/...]" (any case). Empty when the address is unusable.
std::optional<HttpAddress> parseHttpAddress(const QString &address);

class DataConnection : public QObject
{
    Q_OBJECT

public:
    explicit DataConnection(QObject *parent = nullptr);
    ~DataConnection() override;

    int DownloadType() const { return m_downloadType; }
    void setDownloadType(int value) { m_downloadType = value; }
    QString filename() const { return m_filename; }
    void setFilename(const QString &value) { m_filename = value; }
    bool UseTempFile() const { return m_useTempFile; }
    void setUseTempFile(bool value) { m_useTempFile = value; }
    int ProxyType() const { return m_proxyType; }
    void setProxyType(int value) { m_proxyType = value; }
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
    qint64 DownloadLength() const { return m_downloadLength; }
    int HTTPReply() const { return m_httpReply; }
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

    static QString FailureToString(int Why);
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

    // Driving the protocol without a socket, for tests and fuzzing: the state becomes that of
    // a fresh connection to the host or proxy (no file is opened for type 0, nothing is
    // written); receive() then takes blocks as if read from the socket and remoteClosed() as
    // if the peer had closed. What would have been sent is collected in sentBytes().
    void startWithoutSocket();
    void receive(const QByteArray &block);
    void remoteClosed();
    QByteArray sentBytes() const { return m_sentWithoutSocket; }

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

    void onWritable();
    void sendHttpRequest();
    bool sendBytes(const QByteArray &bytes);
    void readResponse();
    void receiveBlock(QByteArrayView block);
    void handleHandshakeBytes(QByteArrayView bytes);
    void sendSocksMessage();
    void handleResponseBytes(QByteArrayView bytes);
    void ProcessHeader();
    bool followRedirect();
    void StoreData(const char *bytes, qint64 count);
    void appendToBuffer(const char *bytes, qint64 count);
    void closeHandling();
    void fail(int why);
    void failAndClose(int why);
    bool proxied() const { return m_proxyType != 0; }
    bool socksProxy() const { return m_proxyType == 2 || m_proxyType == 3; }

    // Properties.
    int m_downloadType = 0;
    QString m_filename;
    bool m_useTempFile = true;
    int m_proxyType = 0;
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
    qint64 m_receivedBytes = 0;
    qint64 m_maxDownload = -1;
    qint64 m_downloadLength = -1;
    int m_httpReply = 0;
    bool m_useResume = false;
    qint64 m_resumeFrom = 0;
    bool m_autoRedirect = true;

    // Transfer state.
    Phase m_phase = Phase::Idle;
    QTcpSocket *m_socket = nullptr;
    std::unique_ptr<QFile> m_file;
    QByteArray m_buffer;
    int m_bufferReallocations = 0;
    QByteArray m_readBlock;  // reused for every receive
    QByteArray m_fileBuffer; // body bytes on their way to the file
    QByteArray m_headerText;
    QByteArray m_handshakeBytes;
    bool m_readingHeader = true;
    bool m_handshakeDone = false;
    bool m_closed = false;
    bool m_aborted = false;
    bool m_redirecting = false;
    bool m_inCloseHandling = false;
    bool m_replyFailed = false;
    int m_socks5Step = 0;
    int m_redirectCount = 0;
    QString m_location;
    quint32 m_resolvedAddress = 0xFFFFFFFFu;
    int m_lookupId = -1;
    bool m_withoutSocket = false;
    QByteArray m_sentWithoutSocket;

    QTimer m_connectTimer;
    QTimer m_stallTimer;
    int m_connectTimeoutMs = 30000;
    int m_stallTimeoutMs = 60000;
};
