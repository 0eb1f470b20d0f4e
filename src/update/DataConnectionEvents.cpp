#include "DataConnection.h"

#include <QFile>
#include <QPointer>

#include <algorithm>

#include <unistd.h>

// What the protocol's events do to the connection: bytes sent, the reply's effect on the
// target file, redirects, and where the body goes (the file, the memory buffer or the
// stream event).

namespace corvanel::update {
namespace {
// Body bytes reach the file in large page-aligned writes, whatever the packet size.
constexpr qsizetype kFileBufferBytes = 256 * 1024;
} // namespace

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

bool DataConnection::handle(const DownloadEvents &events)
{
    const QPointer<DataConnection> self(this);
    const quint64 fetch = m_fetchNumber;
    for (const DownloadEvent &event : events) {
        if (!handleEvent(event) || !self || m_fetchNumber != fetch || m_phase != Phase::Connected)
            return false;
    }
    return true;
}

bool DataConnection::handleEvent(const DownloadEvent &event)
{
    using Kind = DownloadEvent::Kind;
    switch (event.kind) {
    case Kind::Send:
        if (!sendBytes(event.bytes)) {
            failAndClose(event.handshake ? DownloadFailure::ConnectProxy : DownloadFailure::Send);
            return false;
        }
        if (!event.handshake)
            emit QuerySent(m_id);
        return true;
    case Kind::Reply:
        m_redirecting = false;
        return applyReply(event.code);
    case Kind::Body:
        return StoreData(event.body);
    case Kind::Moved:
        m_redirecting = false;
        emit ObjectMoved(event.location, m_id);
        return true;
    case Kind::Redirect:
        followRedirect(event);
        return false;
    case Kind::LimitReached:
        closeHandling();
        return false;
    case Kind::Failed:
        m_redirecting = false;
        if (event.fatal) {
            failAndClose(event.failure);
            return false;
        }
        fail(event.failure);
        return true;
    }
    return true;
}

bool DataConnection::applyReply(int code)
{
    if (code == 206) {
        const bool resumeAt =
            m_downloadType == BodyTarget::File && m_file && m_useResume && m_file->size() >= m_resumeFrom;
        if (!flushFile() || (resumeAt && !m_file->seek(m_resumeFrom))) {
            failAndClose(DownloadFailure::CreateFile);
            return false;
        }
    } else if (code == 200) {
        // A whole body instead of the asked-for rest starts the file again.
        m_useResume = false;
        m_fileBuffer.resize(0);
        // A device (a pipe, /dev/full) has nothing to rewind.
        if (m_downloadType == BodyTarget::File && m_file && !m_file->isSequential() &&
            !(m_file->seek(0) && m_file->resize(0))) {
            failAndClose(DownloadFailure::CreateFile);
            return false;
        }
    }
    return true;
}

void DataConnection::followRedirect(const DownloadEvent &event)
{
    m_redirecting = true;
    m_url = event.location;
    m_hostname = event.address.host;
    m_port = event.address.port;
    FetchURL();
}

bool DataConnection::StoreData(QByteArrayView bytes)
{
    switch (m_downloadType) {
    case BodyTarget::File:
        if (m_file && !writeToFile(bytes.data(), bytes.size())) {
            failAndClose(DownloadFailure::CreateFile);
            return false;
        }
        break;
    case BodyTarget::Memory:
        appendToBuffer(bytes);
        break;
    case BodyTarget::Stream: {
        const QPointer<DataConnection> self(this);
        emit StreamBytes(static_cast<int>(bytes.size()), bytes.toByteArray(), m_id);
        if (!self)
            return false;
        break;
    }
    }
    emit BytesReceived(ReceivedBytes(), m_id);
    return true;
}

void DataConnection::appendToBuffer(QByteArrayView bytes)
{
    // The container grows geometrically and reallocates in place where it can, so appends
    // stay amortised without copying the whole buffer a hundred times.
    const qsizetype capacity = m_buffer.capacity();
    m_buffer.append(bytes);
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

} // namespace corvanel::update
