#include "DataConnection.h"

#include <QFile>
#include <QPointer>

#include <algorithm>

#include <unistd.h>

// Where the body of a download goes: the target file, the memory buffer or the stream event.

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
