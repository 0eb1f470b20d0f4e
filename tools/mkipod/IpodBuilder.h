#pragma once
// Builds iPod folders and their binary files for tests, benchmarks and the demo.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace mkipod {

// One track record. A string field that is std::nullopt gets no data object at all;
// an empty string gets a data object holding an empty string.
struct Track
{
    int32_t id = 0;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<QString> genre;
    std::optional<QString> location; // iPod form, ":iPod_Control:Music:F00:ABCD.mp3"
    std::optional<QString> fileType; // "MPEG audio file", "AAC audio file", "WAV audio file"
    std::optional<QString> comment;  // an extra string object (type 8) the reader must step over
    int32_t trackNumber = 0;
    int32_t lengthMs = 0;
    int32_t sizeBytes = 0;
    int32_t bitrate = 0;
    int32_t sampleRate = 44100;
    int32_t year = 0;
    bool podcast = false;
    int32_t totalTracks = 0;
    int32_t playCount = 0;
    int32_t rating = 0;    // 0..100, 20 per star
    int32_t skipCount = 0; // written in headers of 0xF4 bytes and more
    // Podcast feed addresses (types 15 and 16): UTF-8 objects without a length field,
    // total length = 24 + bytes, so "string length + 40" does not step over them.
    std::optional<QString> podcastUrl;
    std::optional<QString> podcastRss;
    uint32_t artworkId = 0; // the ArtworkDB image the track links to (long headers only); 0: none
};

struct Playlist
{
    QString name;
    std::vector<int32_t> trackIds;
    bool master = false; // the first playlist written must be the master
    bool podcastFlag = false;
    bool smart = false; // adds smart-playlist data objects (types 50, 51) the reader must step over
};

enum class Layout {
    Legacy,  // data sets 1, 2 only (old iTunes), short headers
    ITunes7, // data sets in iTunes' order 4, 1, 3, 2, 5; long headers (mhit 0x248)
    Libgpod, // data sets 1, 3, 2 as libgpod writes them
};

// One entry of the iPod's "Play Counts" file: what happened to a track since the last sync.
// Times are the iPod's: seconds since 1904-01-01, 0 for never.
struct PlayCountsEntry
{
    int32_t plays = 0;
    uint32_t lastPlayed = 0;
    int32_t rating = 0; // 0..100; needs entries of 16 bytes
    int32_t skips = 0;  // needs entries of 28 bytes
    uint32_t lastSkipped = 0;
};

struct PlayCountsFile
{
    std::vector<PlayCountsEntry> entries; // in the database's track order
    uint32_t entrySize = 0x1C;            // 12 .. 40 bytes; fields that do not fit are left out
    std::optional<uint32_t> announced;    // the header's entry count, when it is to lie
};

// The last-played and last-skipped times the database gives a track with plays or skips
// (seconds since 1904-01-01; 0 for none).
uint32_t lastPlayedOf(const Track &t);
uint32_t lastSkippedOf(const Track &t);

// Unix seconds as the iPod's clock counts them.
constexpr uint32_t macTimeOf(int64_t unixSeconds)
{
    return uint32_t(unixSeconds + 2082844800);
}

struct Database
{
    std::vector<Track> tracks;
    std::vector<Playlist> playlists; // playlists[0] is the master
    Layout layout = Layout::ITunes7;
    uint32_t version = 0x75;
    std::vector<Playlist> podcastPlaylists;   // data set 3 (defaults to a copy of the playlists)
    std::vector<Playlist> smartPlaylists;     // data set 5
    std::optional<PlayCountsFile> playCounts; // written beside the database when set
};

// The database id a track record carries for a track id (the ArtworkDB names songs by it).
uint64_t trackDbid(int32_t id);

// The iTunesDB bytes of a database.
QByteArray buildITunesDb(const Database &db);
// The OTGPlaylistInfo file: entries are song indexes (0-based positions among the track records).
QByteArray buildOnTheGo(const std::vector<int32_t> &songIndexes);
// The "Play Counts" file: "mhdp", a 0x60-byte header, then the entries.
QByteArray buildPlayCounts(const PlayCountsFile &file);
// A Preferences file of 2960 bytes with shuffle, repeat, sound check and EQ off and the given backlight value.
QByteArray buildPreferences(uint8_t backlight = 3);
// A SysInfo text file.
QByteArray buildSysInfo(const QString &modelNumber = QStringLiteral("MA147"),
                        const QString &serial = QStringLiteral("8K6281QSV9M"));

struct AudioSpec
{
    enum class Kind { Mp3, Aac, Wav } kind = Kind::Mp3;
    int seconds = 10;
    int seed = 0; // chooses the melody
};

// The tags a song file carries about itself. An empty text or a track number of 0 writes no entry;
// the total is written only with a track number ("3/12").
struct SongTags
{
    QString title;
    QString artist;
    QString album;
    QString genre;
    int trackNumber = 0;
    int totalTracks = 0;
};
// Encodes generated music into a file, untagged; returns false with a message on failure.
bool writeAudio(const QString &path, const AudioSpec &spec, QString *error = nullptr);
// The same with tags: an ID3v2.3 tag before the MP3 (its Info frame follows the tag unchanged),
// iTunes metadata atoms in the .m4a, a "LIST" "INFO" chunk in the WAV.
bool writeAudio(const QString &path, const AudioSpec &spec, const SongTags &tags, QString *error = nullptr);
// An ID3v2.3 tag with TIT2, TPE1, TALB, TCON and TRCK frames (ISO-8859-1 where the text allows,
// otherwise UTF-16 with a byte order mark); empty when the tags have no entry at all.
QByteArray buildId3Tag(const SongTags &tags);

// Writes <root>/iPod_Control/iTunes/iTunesDB (+ OTGPlaylistInfo when otg is set),
// <root>/iPod_Control/Device/Preferences and SysInfo, and creates the Music/Fxx folders.
// Song files are not written here.
bool writeIpod(const QString &root, const Database &db, const std::optional<std::vector<int32_t>> &otg,
               QString *error = nullptr);

// The bundled demo iPod: at least 24 songs with real audio (see the README).
bool makeDemoIpod(const QString &root, QString *error = nullptr);
// The demo's database as makeDemoIpod writes it, but for the song files' sizes (0 here).
Database demoDatabase();

// A large library for benchmarks: n tracks (song files written as small stubs when withFiles is set),
// `playlists` user playlists.
Database makeLargeDatabase(int tracks, int playlists, int genres = 24, int artists = 1500, int albums = 3000);
bool makeLargeIpod(const QString &root, int tracks, int playlists, bool withFiles, QString *error = nullptr);
bool makeLargeIpod(const QString &root, int tracks, int playlists, bool withFiles, Layout layout,
                   QString *error = nullptr);
struct LargeIpodOptions
{
    Layout layout = Layout::ITunes7;
    bool files = false; // a small silent MP3 for every track
    bool tags = false;  // each of those files starts with an ID3 tag of its own track (needs files)
};
bool makeLargeIpod(const QString &root, int tracks, int playlists, const LargeIpodOptions &options,
                   QString *error = nullptr);

// Breaks <root>/iPod_Control/iTunes/iTunesDB; the song files stay.
enum class DatabaseDamage {
    Removed,   // the file is gone
    Emptied,   // a valid database without tracks; the master playlist keeps the iPod's name; no On-The-Go file
    Corrupted, // the same size, but zeros and scattered garbage instead of "mhbd" records
};
bool damageDatabase(const QString &root, DatabaseDamage damage, QString *error = nullptr);
// Adds `count` tagged songs (MP3, .m4a and WAV in turn) to the Music folders under names that neither
// a database location nor another file uses; they are listed nowhere in the database. Titles
// "Forgotten Song 1".., artist "Lost Artist", album "Orphans", genre "Rock", track numbers 1..count.
// `written` receives the files' paths relative to root ("iPod_Control/Music/F03/XQZA.mp3").
bool addExtraSongs(const QString &root, int count, QString *error = nullptr, QStringList *written = nullptr);
constexpr int kMaxExtraSongs = 1000;

// The iPod shuffle's own song list, iPod_Control/iTunes/iTunesSD, naming the database's tracks
// in order: the 1st/2nd generation's fixed big-endian entries, or the 3rd/4th generation's
// "bdhs" chunks, which also carry the playlists (the master, normal lists, podcasts).
enum class ShuffleLayout { Fixed, Chunked };
QByteArray buildITunesSd(const Database &db, ShuffleLayout layout);
// The shuffle's "iTunesStats" of the same plays, one entry per track: the fixed layout's 24-bit
// count and 18-byte entries (plays at 12, skips at 15, no times), or the chunked layout's
// 32-bit count and 32-byte entries (plays at 8, last played at 12, skips at 16, last skipped at 20).
QByteArray buildShuffleStats(const PlayCountsFile &file, ShuffleLayout layout);
// An iTunesCDB made of any iTunesDB: its "mhbd" header as it stands (marked compressed: 2 at
// offset 12, 1 at 0xA8 when the header reaches it, the total length counting the compressed
// bytes), then the rest as one zlib stream. Empty when the bytes do not start with a header.
QByteArray compressITunesDb(const QByteArray &iTunesDb, int level = 1);
// A SysInfoExtended property list; FamilyID and DBVersion are left out when negative.
QByteArray buildSysInfoExtended(const QString &serial, const QString &fireWireGuid, int familyId = -1,
                                int dbVersion = -1);
// Writes SysInfo and SysInfoExtended for the model number ("MC293", "xA623").
bool writeModel(const QString &root, const QString &modelNumber, QString *error = nullptr);

// The database of <root> in the form of a later iPod: `Compressed` writes its iTunesDB as
// iTunesCDB and leaves the iTunesDB empty, as on the nano 5G on; the shuffle forms write db's
// tracks and playlists as iTunesSD and remove the iTunesDB and the On-The-Go file.
enum class DatabaseForm { Compressed, ShuffleFixed, ShuffleChunked };
bool convertDatabase(const QString &root, DatabaseForm form, const Database &db, QString *error = nullptr);

// The generated music of writeAudio as interleaved 16-bit stereo samples at 44100 Hz.
std::vector<int16_t> synthesizeMusic(int seconds, int seed);
constexpr int kSampleRate = 44100;

// The iPod path of a file below <root>/iPod_Control/Music: ":iPod_Control:Music:F03:ABCD.mp3"
// becomes "<root>/iPod_Control/Music/F03/ABCD.mp3".
QString localPath(const QString &root, const QString &ipodLocation);

} // namespace mkipod
