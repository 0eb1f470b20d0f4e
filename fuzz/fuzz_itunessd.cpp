// Any bytes as an iPod shuffle's song list: the parse, then the library built from it (on a
// folder that holds no songs, so every song keeps what the list says).
#include <LibraryJson.h>
#include <ShuffleDatabase.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace corvanel;
using namespace corvanel::itunesdb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::expected<ShuffleList, QString> list =
        parseShuffleList(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!list)
        return 0;
    // Every playlist names songs of the list, and each song has a path.
    for (const ShuffleList::Playlist &playlist : list->playlists)
        for (const int32_t track : playlist.tracks)
            if (track < 0 || static_cast<std::size_t>(track) >= list->tracks.size())
                std::abort();
    for (const ShuffleList::Track &track : list->tracks)
        if (!track.storedPath.startsWith(QLatin1Char('\\')))
            std::abort();
    MusicLibrary library;
    library.iPodDrive = QStringLiteral("/nonexistent-ipod");
    const LoadReport report = loadShuffleList(*list, library);
    if (library.SongCount != static_cast<int32_t>(list->tracks.size()))
        std::abort();
    (void)libraryToJson(library, report);
    return 0;
}
