// Reads any bytes as the On-The-Go file against a small walked library.
#include <OnTheGo.h>
#include <iTunesDBReader.h>

#include <QtEndian>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

QByteArray record(const char *tag, int32_t headerLength, int32_t at = 0, int32_t value = 0)
{
    QByteArray bytes(headerLength, '\0');
    std::memcpy(bytes.data(), tag, 4);
    qToLittleEndian<int32_t>(headerLength, bytes.data() + 4);
    if (at)
        qToLittleEndian<int32_t>(value, bytes.data() + at);
    return bytes;
}

// Five tracks with ids 100 .. 104.
QByteArray smallDatabase()
{
    QByteArray bytes = record("mhbd", 0x68) + record("mhsd", 0x60, 12, 1) + record("mhlt", 0x5C);
    for (int32_t id = 100; id < 105; ++id)
        bytes += record("mhit", 0x9C, 16, id);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray database = smallDatabase();
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(database, library, nullptr, report);
    readOnTheGo(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), library, report);
    return 0;
}
