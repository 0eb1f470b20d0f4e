// Arbitrary bytes as an HTTP response, delivered in arbitrary blocks: the header gathering,
// the header's rules, redirects and the body rules, then the close.
// Input: byte 0 chooses the options, then blocks of <length byte><bytes>.
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
    request.url = QStringLiteral("http://origin.example/dir/file");
    request.hostname = QStringLiteral("origin.example");
    request.autoRedirect = (options & 1) != 0;
    request.useResume = (options & 4) != 0;
    request.resumeFrom = (options & 4) ? 100 : 0;
    request.maxDownload = (options & 8) ? 100 : -1;
    if (options & 16)
        request.proxy = ProxyKind::Http;
    DownloadProtocol protocol;
    protocol.start(request);
    qint64 bodyBytes = 0;
    size_t at = 1;
    while (at < size && !protocol.ended()) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        ++at;
        const DownloadEvents events =
            protocol.receive(QByteArrayView(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(length)));
        at += length;
        for (const DownloadEvent &event : events) {
            if (event.kind == DownloadEvent::Kind::Body)
                bodyBytes += event.body.size();
            if (event.kind == DownloadEvent::Kind::Redirect && event.address.host.isEmpty())
                __builtin_trap();
        }
    }
    (void)protocol.closeOutcome();
    // The body never passes its cap and every byte handed out is counted.
    if (protocol.receivedBytes() < 0 || bodyBytes > protocol.receivedBytes())
        __builtin_trap();
    if (request.maxDownload >= 0 && protocol.receivedBytes() > request.maxDownload)
        __builtin_trap();
    return 0;
}
