// Reads any bytes as a nano 6G/7G library, then builds what the load builds from the result.
// The same bytes stand for Library.itdb, Locations.itdb and Dynamic.itdb, so that one input can reach every
// table the reader queries.
#include <LibraryJson.h>
#include <ParseiTunesDB.h>
#include <SqliteLibrary.h>

#include <cstddef>
#include <cstdint>

using namespace corvanel;
using namespace corvanel::itunesdb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto db = SqliteDatabase::fromBytes(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!db)
        return 0;
    MusicLibrary library;
    LoadReport report;
    fillFromSqlite(*db, &*db, library, report, &*db);
    if (!report.isDatabase)
        return 0;
    buildIndexes(library, report);
    (void)libraryToJson(library, report);
    return 0;
}
