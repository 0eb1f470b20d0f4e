// Arbitrary bytes as an HTTP response, delivered in arbitrary blocks: the header gathering,
// ProcessHeader and the body reading to every kind of target, then the close.
// Input: byte 0 chooses the target and options, then blocks of <length byte><bytes>.
#include "DataConnection.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Timers need the application object; it lives for the whole run.
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    DataConnection connection;
    connection.setAutoRedirect(false);
    connection.setDownloadType(options & 3);
    connection.setUseResume((options & 4) != 0);
    connection.setResumeFrom((options & 4) ? 100 : 0);
    connection.setMaxDownload((options & 8) ? 100 : -1);
    connection.setPacketSize(1 + (options >> 4) * 64);
    qint64 streamed = 0;
    QObject::connect(&connection, &DataConnection::StreamBytes,
                     [&](int count, const QByteArray &bytes, int) { streamed += count + bytes.size(); });
    connection.startWithoutSocket();
    size_t at = 1;
    while (at < size && connection.IsConnected()) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        ++at;
        connection.receive(QByteArray(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(length)));
        at += length;
    }
    connection.remoteClosed();
    QByteArray buffer;
    connection.GetBuffer(buffer);
    if (connection.ReceivedBytes() < 0 || buffer.size() != connection.GetBufferSize())
        __builtin_trap();
    if (connection.MaxDownload() >= 0 && connection.ReceivedBytes() > connection.MaxDownload())
        __builtin_trap();
    return 0;
}
