// Reads any bytes as an ArtworkDB, and decodes every stored size it names from the same bytes
// taken as the .ithmb file.
#include <ArtworkDB.h>
#include <ArtworkDecoder.h>

#include <cstddef>
#include <cstdint>

using namespace corvanel::itunesdb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ArtworkDb db = readArtworkDb(bytes);
    for (const ArtworkImage &image : db.images)
        for (const ArtworkThumb *thumb : decodableThumbs(image)) {
            if (thumb->offset < 0 || thumb->size < 0 || thumb->offset > bytes.size() ||
                thumb->size > bytes.size() - thumb->offset)
                continue;
            const QImage picture = decodeThumb(bytes.sliced(thumb->offset, thumb->size), *thumb);
            (void)picture;
        }
    return 0;
}
