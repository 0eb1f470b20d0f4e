// iPod folders: the control files, the demo library with generated music, large libraries.
#include "IpodBuilder.h"
#include "ArtworkWriter.h"
#include "AudioEncoders.h"
#include "BuilderSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace mkipod {

using namespace detail;

QString localPath(const QString &root, const QString &ipodLocation)
{
    QString relative = ipodLocation;
    relative.replace(QLatin1Char(':'), QLatin1Char('/'));
    if (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    return QDir(root).filePath(relative);
}

bool writeIpod(const QString &root, const Database &db, const std::optional<std::vector<int32_t>> &otg, QString *error)
{
    try {
        const QDir base(root);
        const QString control = base.filePath(QStringLiteral("iPod_Control"));
        const QString itunes = control + QStringLiteral("/iTunes");
        const QString device = control + QStringLiteral("/Device");
        const QString music = control + QStringLiteral("/Music");

        // F00..F19 as iTunes creates them, plus every folder a location names.
        QSet<QString> folders;
        for (int f = 0; f < 20; ++f)
            folders.insert(QStringLiteral("F%1").arg(f, 2, 10, QLatin1Char('0')));
        for (const Track &t : db.tracks) {
            if (!t.location)
                continue;
            const QStringList parts = t.location->split(QLatin1Char(':'), Qt::SkipEmptyParts);
            if (parts.size() == 4 && parts[1].compare(QLatin1String("Music"), Qt::CaseInsensitive) == 0)
                folders.insert(parts[2]);
        }
        for (const QString &dir : {itunes, device, music})
            if (!QDir().mkpath(dir))
                return fail(error, QStringLiteral("Cannot create the folder %1").arg(dir));
        for (const QString &f : folders)
            if (!QDir().mkpath(music + QLatin1Char('/') + f))
                return fail(error, QStringLiteral("Cannot create the folder %1/%2").arg(music, f));

        const QByteArray bytes = buildITunesDb(db);
        if (bytes.isEmpty())
            return fail(error, QStringLiteral("Out of memory while building the iTunesDB"));
        if (!writeFile(itunes + QStringLiteral("/iTunesDB"), bytes, error))
            return false;

        const QString otgPath = itunes + QStringLiteral("/OTGPlaylistInfo");
        if (otg) {
            for (int32_t index : *otg)
                if (index < 0 || size_t(index) >= db.tracks.size())
                    return fail(error, QStringLiteral("On-The-Go entry %1 is not a track position (0 .. %2)")
                                           .arg(index)
                                           .arg(qsizetype(db.tracks.size()) - 1));
            if (!writeFile(otgPath, buildOnTheGo(*otg), error))
                return false;
        } else if (QFile::exists(otgPath) && !QFile::remove(otgPath)) {
            return fail(error, QStringLiteral("Cannot remove the old %1").arg(otgPath));
        }
        const QString playCountsPath = itunes + QStringLiteral("/Play Counts");
        if (db.playCounts) {
            if (!writeFile(playCountsPath, buildPlayCounts(*db.playCounts), error))
                return false;
        } else if (QFile::exists(playCountsPath) && !QFile::remove(playCountsPath)) {
            return fail(error, QStringLiteral("Cannot remove the old %1").arg(playCountsPath));
        }

        return writeFile(device + QStringLiteral("/Preferences"), buildPreferences(), error) &&
               writeFile(device + QStringLiteral("/SysInfo"), buildSysInfo(), error);
    } catch (...) {
        return fail(error, QStringLiteral("Unexpected failure while writing the iPod at %1").arg(root));
    }
}

namespace {

struct DemoSong
{
    const char *title;
    int artist;
    int album;
    AudioSpec::Kind kind;
    int trackNumber;
    int seed;
    const char *comment = nullptr;
};

struct DemoAlbum
{
    const char *name;
    int genre;
    int year;
    int tracks;
};

constexpr const char *kDemoArtists[] = {"The Copper Lanterns", "Élodie Marchand", "Quartet Nova",
                                        "Pixel Drift",         "Kaito Sato",      "Halvetra Radio"};
constexpr const char *kDemoGenres[] = {"Rock", "Jazz", "Electronic", "Podcast"};
constexpr uint32_t kDemoArtworkBase = 500; // image ids of the demo's covers

constexpr DemoAlbum kDemoAlbums[] = {
    {"Slow Burn", 0, 2006, 4},      {"Harbour Lights", 0, 2008, 3},  {"Café de Nuit", 1, 2007, 4},
    {"Blue Hours", 1, 2005, 3},     {"Neon Grid", 2, 2008, 3},       {"Signals", 2, 2009, 3},
    {"Midnight Metro", 2, 2007, 3}, {"Corvanel Weekly", 3, 2009, 2},
};

using K = AudioSpec::Kind;
constexpr DemoSong kDemoSongs[] = {
    {"Ember Road", 0, 0, K::Mp3, 1, 11},
    {"Slow Burn", 0, 0, K::Mp3, 2, 12},
    {"Paper Planes", 0, 0, K::Mp3, 3, 13},
    {"Last Train Home", 0, 0, K::Mp3, 4, 14, "Recorded live at the Depot"},
    {"Harbour Lights", 0, 1, K::Mp3, 1, 21},
    {"Saltwater", 0, 1, K::Mp3, 2, 22},
    {"Lighthouse Keeper", 0, 1, K::Mp3, 3, 23},
    {"Café au lait", 1, 2, K::Aac, 1, 31},
    {"Ça va", 1, 2, K::Aac, 2, 32},
    {"Déjà vu", 1, 2, K::Aac, 3, 33},
    {"Rue des Étoiles", 1, 2, K::Aac, 4, 34},
    {"Blue Hour", 2, 3, K::Wav, 1, 41},
    {"Après Minuit", 2, 3, K::Aac, 2, 42},
    {"Velvet Steps", 2, 3, K::Wav, 3, 43},
    {"Neon Grid", 3, 4, K::Mp3, 1, 51},
    {"Circuit Dreams", 3, 4, K::Mp3, 2, 52},
    {"Afterglow", 3, 4, K::Mp3, 3, 53},
    {"Signal Fire", 3, 5, K::Aac, 1, 61},
    {"Static Bloom", 3, 5, K::Aac, 2, 62},
    {"Northern Relay", 3, 5, K::Aac, 3, 63},
    {"東京の夜", 4, 6, K::Mp3, 1, 71},
    {"夜明け (Dawn)", 4, 6, K::Mp3, 2, 72},
    {"Shinjuku Rain", 4, 6, K::Mp3, 3, 73, "雨の日"},
    // A second copy of "Harbour Lights" in another file: the library's duplicate pair.
    {"Harbour Lights", 0, 1, K::Mp3, 1, 21},
    {"Episode 1: Getting Started", 5, 7, K::Mp3, 1, 81},
    {"Episode 2: Playlists and You", 5, 7, K::Mp3, 2, 82},
};

QString fileTypeName(K kind)
{
    switch (kind) {
    case K::Aac:
        return QStringLiteral("AAC audio file");
    case K::Wav:
        return QStringLiteral("WAV audio file");
    case K::Mp3:
        break;
    }
    return QStringLiteral("MPEG audio file");
}

QString extension(K kind)
{
    switch (kind) {
    case K::Aac:
        return QStringLiteral("m4a");
    case K::Wav:
        return QStringLiteral("wav");
    case K::Mp3:
        break;
    }
    return QStringLiteral("mp3");
}

// The tags a song file carries: exactly its track record's values.
SongTags tagsOf(const Track &t)
{
    return SongTags{t.title.value_or(QString()),
                    t.artist.value_or(QString()),
                    t.album.value_or(QString()),
                    t.genre.value_or(QString()),
                    t.trackNumber,
                    t.totalTracks};
}

// The demo's covers: a stripe pattern per album in two sizes, for every song that links one.
std::vector<CoverImage> demoCovers(const Database &db)
{
    std::vector<CoverImage> covers;
    for (size_t i = 0; i < db.tracks.size(); ++i) {
        const Track &t = db.tracks[i];
        if (t.artworkId == 0)
            continue;
        const int album = kDemoSongs[i].album;
        covers.push_back(
            {t.artworkId,
             trackDbid(t.id),
             {{1029, 200, 200, coverPixels(album, 200, 200)}, {1028, 100, 100, coverPixels(album, 100, 100)}}});
    }
    return covers;
}

// Plays since the last sync: every third song played once or twice on 1 November 2026, every
// fifth rated five stars on the iPod, every seventh skipped once. Podcasts stay untouched.
PlayCountsFile demoPlayCounts(const std::vector<Track> &tracks)
{
    constexpr int64_t kFirstPlay = 1793527200; // 2026-11-01 10:00 UTC
    PlayCountsFile file;
    file.entries.resize(tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
        PlayCountsEntry &e = file.entries[i];
        if (tracks[i].podcast)
            continue;
        if (i % 3 == 0) {
            e.plays = 1 + int32_t(i % 2);
            e.lastPlayed = macTimeOf(kFirstPlay + int64_t(i) * 900);
        }
        if (i % 5 == 0)
            e.rating = 100;
        if (i % 7 == 3) {
            e.skips = 1;
            e.lastSkipped = macTimeOf(kFirstPlay + int64_t(i) * 900 + 60);
        }
    }
    return file;
}

} // namespace

Database demoDatabase()
{
    constexpr int count = int(std::size(kDemoSongs));
    Database db;
    db.layout = Layout::ITunes7;
    db.tracks.resize(count);
    QSet<QString> usedNames;
    for (int i = 0; i < count; ++i) {
        const DemoSong &s = kDemoSongs[i];
        const DemoAlbum &a = kDemoAlbums[s.album];
        Track &t = db.tracks[size_t(i)];
        t.id = 1000 + 3 * i;
        t.title = QString::fromUtf8(s.title);
        t.artist = QString::fromUtf8(kDemoArtists[s.artist]);
        t.album = QString::fromUtf8(a.name);
        t.genre = QString::fromUtf8(kDemoGenres[a.genre]);
        t.fileType = fileTypeName(s.kind);
        if (s.comment)
            t.comment = QString::fromUtf8(s.comment);
        t.trackNumber = s.trackNumber;
        t.totalTracks = a.tracks;
        t.year = a.year;
        t.bitrate = s.kind == K::Wav ? 1411 : 128;
        t.podcast = a.genre == 3;
        t.rating = (i * 7 % 6) * 20 % 120;
        t.playCount = i % 4;
        t.skipCount = i % 3;
        if (t.podcast) {
            t.playCount = 0;
            t.rating = 0;
            t.podcastUrl =
                QStringLiteral("http://feeds.halvetra.net/corvanel-weekly/episode-%1.mp3").arg(s.trackNumber);
            t.podcastRss = QStringLiteral("http://feeds.halvetra.net/corvanel-weekly.xml");
        }
        t.lengthMs = (t.podcast ? 8 : 8 + s.seed % 5) * 1000;
        QString name;
        for (uint32_t n = uint32_t(i) * 101u + 17u;; ++n) {
            name = fourLetters(n);
            if (!usedNames.contains(name))
                break;
        }
        usedNames.insert(name);
        t.location = ipodLocation(i % 5, name, extension(s.kind));
        // Every album but the podcast has a cover (see demoCovers).
        if (!t.podcast)
            t.artworkId = uint32_t(kDemoArtworkBase + i);
    }

    auto idOf = [&](int i) { return db.tracks[size_t(i)].id; };
    Playlist master{QStringLiteral("Corvanel Demo"), {}, true};
    for (const Track &t : db.tracks)
        master.trackIds.push_back(t.id);
    Playlist roadTrip{QStringLiteral("Road Trip"),
                      {idOf(0), idOf(14), idOf(4), idOf(17), idOf(2), idOf(20), idOf(15), idOf(6)}};
    Playlist lateNight{QStringLiteral("Late Night Jazz"),
                       {idOf(7), idOf(8), idOf(11), idOf(12), idOf(9), idOf(13), idOf(10), idOf(20)}};
    Playlist podcasts{QStringLiteral("Podcasts"), {idOf(24), idOf(25)}};
    podcasts.podcastFlag = true;
    db.playlists = {master, roadTrip, lateNight, podcasts};
    Playlist musicList{QStringLiteral("Music"), {}};
    musicList.smart = true;
    Playlist audiobooks{QStringLiteral("Audiobooks"), {}};
    audiobooks.smart = true;
    db.smartPlaylists = {musicList, audiobooks};
    db.playCounts = demoPlayCounts(db.tracks);
    return db;
}

bool makeDemoIpod(const QString &root, QString *error)
{
    try {
        Database db = demoDatabase();
        const std::vector<int32_t> onTheGo{2, 9, 20};
        if (!writeArtwork(root, demoCovers(db), error))
            return false;

        // Write the control files first so that the folders exist, then the music.
        if (!writeIpod(root, db, onTheGo, error))
            return false;

        const bool ok = runParallel(
            int(db.tracks.size()),
            [&](int i, QString *message) {
                const Track &t = db.tracks[size_t(i)];
                const AudioSpec spec{kDemoSongs[i].kind, t.lengthMs / 1000, kDemoSongs[i].seed};
                return writeAudio(localPath(root, *t.location), spec, tagsOf(t), message);
            },
            error);
        if (!ok)
            return false;

        for (Track &t : db.tracks) {
            const QFileInfo info(localPath(root, *t.location));
            if (!info.exists())
                return fail(error, QStringLiteral("Missing song file %1").arg(info.filePath()));
            t.sizeBytes = int32_t(info.size());
        }
        return writeIpod(root, db, onTheGo, error);
    } catch (...) {
        return fail(error, QStringLiteral("Unexpected failure while making the demo iPod at %1").arg(root));
    }
}

Database makeLargeDatabase(int tracks, int playlists, int genres, int artists, int albums)
{
    Database db;
    try {
        tracks = std::clamp(tracks, 0, 1000000);
        playlists = std::max(0, playlists);
        genres = std::max(1, genres);
        artists = std::max(1, artists);
        albums = std::max(1, albums);
        db.tracks.resize(size_t(tracks));
        Playlist master{QStringLiteral("Large iPod"), {}, true};
        master.trackIds.reserve(size_t(tracks));
        for (int i = 0; i < tracks; ++i) {
            Track &t = db.tracks[size_t(i)];
            const int album = i % albums;
            const int artist = album % artists;
            t.id = 100 + i;
            t.title = QStringLiteral("Track %1").arg(i, 5, 10, QLatin1Char('0'));
            t.artist = QStringLiteral("Artist %1").arg(artist, 4, 10, QLatin1Char('0'));
            t.album = QStringLiteral("Album %1").arg(album, 4, 10, QLatin1Char('0'));
            t.genre = QStringLiteral("Genre %1").arg(artist % genres, 2, 10, QLatin1Char('0'));
            t.fileType = QStringLiteral("MPEG audio file");
            t.location = ipodLocation(i % 50, fourLetters(uint32_t(i)), QStringLiteral("mp3"));
            t.trackNumber = i / albums + 1;
            t.lengthMs = 120000 + int((uint32_t(i) * 7919u) % 240000u);
            t.sizeBytes = 1024;
            t.bitrate = 128;
            t.year = 1970 + i % 40;
            master.trackIds.push_back(t.id);
        }
        db.playlists.reserve(size_t(playlists) + 1);
        db.playlists.push_back(std::move(master));
        for (int p = 0; p < playlists && tracks > 0; ++p) {
            Playlist pl{QStringLiteral("Playlist %1").arg(p + 1, 3, 10, QLatin1Char('0')), {}};
            const int size = std::min(tracks, 20 + (p * 37) % 480);
            const int start = int((int64_t(p) * 131) % tracks);
            const int stride = 1 + p % 7;
            pl.trackIds.reserve(size_t(size));
            for (int k = 0; k < size; ++k)
                pl.trackIds.push_back(db.tracks[size_t((int64_t(start) + int64_t(k) * stride) % tracks)].id);
            db.playlists.push_back(std::move(pl));
        }
    } catch (...) {
        return {};
    }
    return db;
}

bool makeLargeIpod(const QString &root, int tracks, int playlists, bool withFiles, QString *error)
{
    return makeLargeIpod(root, tracks, playlists, LargeIpodOptions{Layout::ITunes7, withFiles, false}, error);
}

bool makeLargeIpod(const QString &root, int tracks, int playlists, bool withFiles, Layout layout, QString *error)
{
    return makeLargeIpod(root, tracks, playlists, LargeIpodOptions{layout, withFiles, false}, error);
}

bool makeLargeIpod(const QString &root, int tracks, int playlists, const LargeIpodOptions &options, QString *error)
{
    try {
        if (tracks < 0 || playlists < 0)
            return fail(error, QStringLiteral("The track and playlist counts must not be negative"));
        if (options.tags && !options.files)
            return fail(error, QStringLiteral("Tags are written into song files: they need the song files too"));
        Database db = makeLargeDatabase(tracks, playlists);
        db.layout = options.layout;
        if (db.tracks.size() != size_t(tracks))
            return fail(error, QStringLiteral("Out of memory while making %1 tracks").arg(tracks));
        QByteArray stub;
        std::vector<QByteArray> id3Tags; // one per track with tags; each file is its tag, then the stub
        if (options.files) {
            // A short silent MP3 that players can open.
            QString message;
            if (!encodeMp3(std::vector<int16_t>(2 * 1152 * 2, 0), &stub, &message))
                return fail(error, message);
            if (options.tags) {
                id3Tags.resize(db.tracks.size());
                for (size_t i = 0; i < db.tracks.size(); ++i)
                    id3Tags[i] = buildId3Tag(tagsOf(db.tracks[i]));
            }
            for (size_t i = 0; i < db.tracks.size(); ++i)
                db.tracks[i].sizeBytes = int32_t(stub.size() + (options.tags ? id3Tags[i].size() : 0));
        }
        if (!writeIpod(root, db, std::nullopt, error))
            return false;
        if (!options.files)
            return true;
        return runParallel(
            int(db.tracks.size()),
            [&](int i, QString *message) {
                QFile f(localPath(root, *db.tracks[size_t(i)].location));
                const QByteArray tag = options.tags ? id3Tags[size_t(i)] : QByteArray();
                if (!f.open(QIODevice::WriteOnly) || f.write(tag) != tag.size() || f.write(stub) != stub.size()) {
                    *message = QStringLiteral("Cannot write %1: %2").arg(f.fileName(), f.errorString());
                    return false;
                }
                return true;
            },
            error);
    } catch (...) {
        return fail(error, QStringLiteral("Unexpected failure while making the large iPod at %1").arg(root));
    }
}

} // namespace mkipod
