// Any bytes as a compressed database: as a whole file, and as the zlib stream behind a real
// header, so that the inflating itself is exercised. Whatever inflates is walked and built.
#include <CompressedDatabase.h>
#include <LibraryJson.h>
#include <ParseiTunesDB.h>
#include <iTunesDBReader.h>

#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

// Small enough to keep runs quick; the limit's own path is still taken.
constexpr qint64 FuzzLimit = qint64(4) << 20;

void walkInflated(QByteArrayView file)
{
    const std::expected<QByteArray, InflateError> plain = inflateDatabase(file, {}, FuzzLimit);
    if (!plain)
        return;
    // What comes out is an ordinary database whose header tells its real length.
    if (plain->size() < 16 || !plain->startsWith("mhbd") ||
        qFromLittleEndian<quint32>(plain->constData() + 8) != quint32(plain->size()) || isCompressedDatabase(*plain))
        std::abort();
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(*plain, library, nullptr, report);
    buildIndexes(library, report);
    (void)libraryToJson(library, report);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (isCompressedDatabase(bytes))
        walkInflated(bytes);

    QByteArray file(0xF4, '\0');
    std::memcpy(file.data(), "mhbd", 4);
    qToLittleEndian<quint32>(0xF4, file.data() + 4);
    qToLittleEndian<quint32>(2, file.data() + 12);
    file.append("\x78\x01", 2);
    file.append(bytes);
    walkInflated(file);
    return 0;
}
