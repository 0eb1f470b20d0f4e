#pragma once
// Builds iPod folders and their binary files for tests, benchmarks and the demo.
#include <QByteArray>
#include <QString>
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
    int32_t rating = 0; // 0..100, 20 per star
    // Podcast feed addresses (types 15 and 16): UTF-8 objects without a length field,
    // total length = 24 + bytes, so "string length + 40" does not step over them.
    std::optional<QString> podcastUrl;
    std::optional<QString> podcastRss;
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

struct Database
{
    std::vector<Track> tracks;
    std::vector<Playlist> playlists; // playlists[0] is the master
    Layout layout = Layout::ITunes7;
    uint32_t version = 0x75;
    std::vector<Playlist> podcastPlaylists; // data set 3 (defaults to a copy of the playlists)
    std::vector<Playlist> smartPlaylists;   // data set 5
};

// The iTunesDB bytes of a database.
QByteArray buildITunesDb(const Database &db);
// The OTGPlaylistInfo file: entries are song indexes (0-based positions among the track records).
QByteArray buildOnTheGo(const std::vector<int32_t> &songIndexes);
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
// Encodes generated music into a file; returns false with a message on failure.
bool writeAudio(const QString &path, const AudioSpec &spec, QString *error = nullptr);

// Writes <root>/iPod_Control/iTunes/iTunesDB (+ OTGPlaylistInfo when otg is set),
// <root>/iPod_Control/Device/Preferences and SysInfo, and creates the Music/Fxx folders.
// Song files are not written here.
bool writeIpod(const QString &root, const Database &db, const std::optional<std::vector<int32_t>> &otg,
               QString *error = nullptr);

// The bundled demo iPod: at least 24 songs with real audio (see the README).
bool makeDemoIpod(const QString &root, QString *error = nullptr);

// A large library for benchmarks: n tracks (song files written as small stubs when withFiles is set),
// `playlists` user playlists.
Database makeLargeDatabase(int tracks, int playlists, int genres = 24, int artists = 1500, int albums = 3000);
bool makeLargeIpod(const QString &root, int tracks, int playlists, bool withFiles, QString *error = nullptr);
bool makeLargeIpod(const QString &root, int tracks, int playlists, bool withFiles, Layout layout,
                   QString *error = nullptr);

// The generated music of writeAudio as interleaved 16-bit stereo samples at 44100 Hz.
std::vector<int16_t> synthesizeMusic(int seconds, int seed);
constexpr int kSampleRate = 44100;

// The iPod path of a file below <root>/iPod_Control/Music: ":iPod_Control:Music:F03:ABCD.mp3"
// becomes "<root>/iPod_Control/Music/F03/ABCD.mp3".
QString localPath(const QString &root, const QString &ipodLocation);

} // namespace mkipod
