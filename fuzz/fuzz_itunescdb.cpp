// Any bytes as a compressed database: as a whole file; as the zlib stream behind a real header,
// so that the inflating itself is exercised; and compressed behind that header, so that what
// inflates is anything at all. Whatever inflates is walked and built, once inflated whole and once
// while it inflates: the two must end alike and give the same library.
#include <CompressedDatabase.h>
#include <LibraryJson.h>
#include <ParseiTunesDB.h>
#include <iTunesDBReader.h>

#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

// Small enough to keep runs quick; the limit's own path is still taken.
constexpr qint64 FuzzLimit = qint64(4) << 20;

QByteArray walkedJson(MusicLibrary &library, LoadReport &report)
{
    buildIndexes(library, report);
    return libraryToJson(library, report);
}

// Walked while it inflates, a stream must end as it does inflated whole, and give the same library.
void walkInflating(QByteArrayView file, const std::expected<FileImage, InflateError> &whole, const QByteArray &json)
{
    auto inflating = InflatingDatabase::start(file, FuzzLimit);
    if (!inflating)
        std::abort();
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(**inflating, file.size(), library, report);
    const std::expected<FileImage, InflateError> ended = (*inflating)->finish();
    if (ended.has_value() != whole.has_value() || (!ended && ended.error().kind != whole.error().kind))
        std::abort();
    if (ended && (ended->bytes() != whole->bytes() || walkedJson(library, report) != json))
        std::abort();
}

void walkInflated(QByteArrayView file)
{
    const std::expected<FileImage, InflateError> inflated = inflateDatabase(file, FuzzLimit);
    if (!inflated) {
        walkInflating(file, inflated, {});
        return;
    }
    // A copy of exactly its size, so that a read past the end is caught.
    const QByteArray plain = inflated->bytes().toByteArray();
    // What comes out is an ordinary database whose header tells its real length and is no longer
    // marked compressed. Its records may still look like a zlib stream when the input was
    // garbage; they are walked as records all the same.
    if (plain.size() < 16 || !plain.startsWith("mhbd") ||
        qFromLittleEndian<quint32>(plain.constData() + 8) != quint32(plain.size()) ||
        qFromLittleEndian<quint32>(plain.constData() + 12) != 1)
        std::abort();
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(plain, library, nullptr, report);
    walkInflating(file, inflated, walkedJson(library, report));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (isCompressedDatabase(bytes))
        walkInflated(bytes);

    QByteArray header(0xF4, '\0');
    std::memcpy(header.data(), "mhbd", 4);
    qToLittleEndian<quint32>(0xF4, header.data() + 4);
    qToLittleEndian<quint32>(2, header.data() + 12);
    walkInflated(header + QByteArray("\x78\x01", 2) + bytes.toByteArray());

    uLongf length = compressBound(uLong(size));
    QByteArray compressed(qsizetype(length), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(compressed.data()), &length, data, uLong(size), 1) == Z_OK)
        walkInflated(header + compressed.first(qsizetype(length)));
    return 0;
}
