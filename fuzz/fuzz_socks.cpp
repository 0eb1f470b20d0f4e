// Arbitrary bytes as a SOCKS4 or SOCKS5 proxy's replies, in arbitrary blocks, followed by
// whatever the origin answers once the handshake is done.
// Input: byte 0 chooses the protocol, the login and remote DNS, then blocks of <length><bytes>.
#include "DownloadProtocol.h"

#include <cstddef>
#include <cstdint>

using namespace corvanel;

using namespace corvanel::update;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    DownloadRequest request;
    request.autoRedirect = false;
    request.proxy = (options & 1) ? ProxyKind::Socks5 : ProxyKind::Socks4;
    request.proxyAuthentication = (options & 2) ? 2 : 0;
    request.proxyUseRemoteDNS = (options & 4) != 0;
    request.proxyUsername = QStringLiteral("user");
    request.proxyPassword = QStringLiteral("password");
    request.hostname = (options & 8) ? QStringLiteral("origin.example") : QStringLiteral("10.0.0.1");
    request.resolvedAddress = 0x0A000001u;
    request.port = 8080;
    request.url = QStringLiteral("http://origin.example:8080/file");
    DownloadProtocol protocol;
    protocol.start(request);
    int fatal = 0;
    int requests = 0;
    size_t at = 1;
    while (at < size && !protocol.ended()) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        ++at;
        const DownloadEvents events =
            protocol.receive(QByteArrayView(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(length)));
        at += length;
        for (const DownloadEvent &event : events) {
            if (event.kind == DownloadEvent::Kind::Failed && event.fatal)
                ++fatal;
            if (event.kind == DownloadEvent::Kind::Send && !event.handshake)
                ++requests;
        }
    }
    (void)protocol.closeOutcome();
    // A handshake ends at most once, and the request goes out at most once.
    if (fatal > 1 || requests > 1)
        __builtin_trap();
    return 0;
}
