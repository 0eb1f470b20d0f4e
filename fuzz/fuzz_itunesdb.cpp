// Walks any bytes as an iTunesDB, then builds what the load builds from the result.
#include <LibraryJson.h>
#include <ParseiTunesDB.h>
#include <iTunesDBReader.h>

#include <cstddef>
#include <cstdint>

using namespace corvanel;
using namespace corvanel::itunesdb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MusicLibrary library;
    LoadReport report;
    walkITunesDb(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), library, nullptr,
                 report);
    if (!report.isDatabase)
        return 0;
    buildSongIndex(library, report);
    library.Library = std::make_unique<clsLibrary>(library);
    (void)library.Library->FillMiniDatabase();
    (void)libraryToJson(library, report);
    return 0;
}
