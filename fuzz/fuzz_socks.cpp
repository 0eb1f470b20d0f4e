// Arbitrary bytes as a SOCKS4 or SOCKS5 proxy's replies, in arbitrary blocks, followed by
// whatever the origin answers once the handshake is done.
// Input: byte 0 chooses the protocol, the login and remote DNS, then blocks of <length><bytes>.
#include "DataConnection.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
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
    connection.setDownloadType(1);
    connection.setProxyType((options & 1) ? 3 : 2);
    connection.setProxyAuthentication((options & 2) ? 2 : 0);
    connection.setProxyUseRemoteDNS((options & 4) != 0);
    connection.setProxyUsername(QStringLiteral("user"));
    connection.setProxyPassword(QStringLiteral("password"));
    connection.setHostname((options & 8) ? QStringLiteral("origin.example") : QStringLiteral("10.0.0.1"));
    connection.setPort(8080);
    connection.setURL(QStringLiteral("http://origin.example:8080/file"));
    int failures = 0;
    QObject::connect(&connection, &DataConnection::DownloadFailed, [&](int why, int) {
        if (why < 0 || why > 11)
            __builtin_trap();
        ++failures;
    });
    connection.startWithoutSocket();
    size_t at = 1;
    while (at < size && connection.IsConnected()) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        ++at;
        connection.receive(QByteArray(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(length)));
        at += length;
    }
    connection.remoteClosed();
    // A handshake ends at most once.
    if (failures > 1)
        __builtin_trap();
    return 0;
}
