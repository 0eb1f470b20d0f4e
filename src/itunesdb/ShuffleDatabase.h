#pragma once
// The iPod shuffle's own song list, iPod_Control/iTunes/iTunesSD, which the shuffle plays from.
// It names each song's file and little else; the rest comes from the files' own tags.
//
// Two layouts exist. The 1st and 2nd generation: big-endian, an 18-byte header whose first
// three bytes count the songs and whose bytes 6..8 give the header's length, then one fixed
// 558-byte entry per song with the path in UTF-16LE at offset 33 (522 bytes, NUL-padded).
// The 3rd and 4th generation: little-endian chunks, "bdhs" (counts and the offsets of the
// next two), "hths" (the offsets of the "rths" track records, whose path is 256 bytes of UTF-8
// at offset 24) and "hphs" (the offsets of the "lphs" playlists, each a type at offset 24 and
// track positions from offset 44).
#include "LoadReport.h"
#include "TagScan.h"

#include <MusicLibrary.h>

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <expected>
#include <vector>

namespace corvanel::itunesdb {

using namespace corvanel::library;

inline constexpr auto ShuffleListStoredPath = u"\\iPod_Control\\iTunes\\iTunesSD";
inline constexpr auto ShuffleListStatus = u"Reading the songs of the iPod shuffle...";

struct ShuffleList
{
    enum class Layout { Fixed, Chunked } layout = Layout::Fixed; // 1G/2G, 3G/4G
    enum class PlaylistType { Master = 1, Normal = 2, Podcasts = 3, Audiobooks = 4 };

    struct Track
    {
        QString storedPath;   // \iPod_Control\Music\F00\ABCD.mp3
        int32_t fileType = 0; // 1 MP3, 2 AAC, 4 WAV
    };
    struct Playlist
    {
        int32_t type = 0;
        std::vector<int32_t> tracks; // positions in `tracks`
    };

    std::vector<Track> tracks;
    std::vector<Playlist> playlists;
    int declaredTracks = 0; // what the header counts
    QString damage;         // empty when the whole list was read; otherwise what was not
};

// "1G/2G" or "bdhs".
QString shuffleLayoutName(ShuffleList::Layout layout);

// Reads the list from the file's bytes. No count or offset is trusted: an entry that does not
// lie inside the file, or is not what its place calls for, is left out and named in `damage`.
// An error when the bytes are no iTunesSD at all.
std::expected<ShuffleList, QString> parseShuffleList(QByteArrayView bytes);
// The same from a file; an error when it cannot be read or is far too large to be a song list.
std::expected<ShuffleList, QString> readShuffleList(const QString &path);

// Fills `library` (whose iPodDrive is set) from the list: one song per entry, in its order,
// with ids from 1, each song's title, artist, album, genre, track, length and type from its
// file's tags (a song whose file is missing or unreadable keeps its path and a title made from
// its file name, and is reported); a master playlist ":: name ::" of every song, where the name
// is the iPod folder's; the other playlists of the list ("Playlist 1".., "Podcasts",
// "Audiobooks"); then SongIndex and Library. A cancelled read leaves the library empty.
LoadReport loadShuffleList(const ShuffleList &list, MusicLibrary &library, const ScanControl &control = {});

} // namespace corvanel::itunesdb
