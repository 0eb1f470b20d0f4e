#include "DataConnection.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <limits>

// The HTTP/1.0 side of the download client: the request, the response header and redirects.

namespace {

#define CORVANEL_STR2(x) #x
#define CORVANEL_STR(x) CORVANEL_STR2(x)
constexpr const char kUserAgent[] = "Corvanel/" CORVANEL_STR(CORVANEL_VERSION_MAJOR) "." CORVANEL_STR(
    CORVANEL_VERSION_MINOR) "." CORVANEL_STR(CORVANEL_VERSION_PATCH);
#undef CORVANEL_STR
#undef CORVANEL_STR2
constexpr int kMaxRedirects = 10;

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

} // namespace

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
