#pragma once
// The main window over a small iPod written by mkipod and read by the program's own loader,
// with songs that really play.
#include "WindowFixture.h"

#include "ExtractCommand.h"
#include "IpodBuilder.h"
#include "LoadReport.h"
#include "SimulatorLink.h"
#include "SimulatorMenus.h"
#include "frmiPod.h"

#include <QSettings>

#include <tuple>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::itunesdb;
using namespace corvanel::simulator;

namespace sim = corvanel::simulator;

// Seven songs in three genres; the user playlists are given.
inline mkipod::Database testDatabase(const std::vector<mkipod::Playlist> &playlists)
{
    const std::tuple<const char *, const char *, const char *, const char *, int> songs[] = {
        {"Blue Train", "John Coltrane", "Blue Train", "Jazz", 1},
        {"Moment's Notice", "John Coltrane", "Blue Train", "Jazz", 2},
        {"So What", "Miles Davis", "Kind of Blue", "Jazz", 1},
        {"Freddie Freeloader", "Miles Davis", "Kind of Blue", "Jazz", 2},
        {"Paranoid", "Black Sabbath", "Paranoid", "Rock", 1},
        {"Iron Man", "Black Sabbath", "Paranoid", "Rock", 4},
        {"Clair de Lune", "Debussy", "Suite bergamasque", "Classical", 3}};
    mkipod::Database db;
    mkipod::Playlist master{"Test Pod", {}, true};
    for (const auto &[title, artist, album, genre, number] : songs) {
        mkipod::Track &track = db.tracks.emplace_back();
        track.id = int32_t(db.tracks.size());
        std::tie(track.title, track.artist, track.album, track.genre) = std::tuple(title, artist, album, genre);
        track.location = QStringLiteral(":iPod_Control:Music:F00:S%1.wav").arg(track.id);
        track.fileType = "WAV audio file";
        track.trackNumber = number;
        track.lengthMs = 1000;
        master.trackIds.push_back(track.id);
    }
    db.playlists.push_back(master);
    db.playlists.insert(db.playlists.end(), playlists.begin(), playlists.end());
    return db;
}

// Writes the iPod with a second of sound for every song, once per run of the tests; with an
// On-The-Go list of those track positions when given.
inline QString writeTestIpod(QTemporaryDir &dir, const mkipod::Database &db,
                             const std::optional<std::vector<int32_t>> &onTheGo = std::nullopt)
{
    if (QFile::exists(dir.filePath("iPod_Control/iTunes/iTunesDB")))
        return dir.path();
    QString error;
    EXPECT_TRUE(mkipod::writeIpod(dir.path(), db, onTheGo, &error)) << error.toStdString();
    for (const mkipod::Track &track : db.tracks)
        EXPECT_TRUE(mkipod::writeAudio(mkipod::localPath(dir.path(), *track.location),
                                       {mkipod::AudioSpec::Kind::Wav, 1, track.id}, &error))
            << error.toStdString();
    return dir.path();
}

// Sources ":: Test Pod ::", "Drive", "Evening", "Zzz Last".
inline QString fourSourceIpod()
{
    static QTemporaryDir dir;
    return writeTestIpod(dir, testDatabase({{"Drive", {5, 6, 3}}, {"Evening", {7, 1}}, {"Zzz Last", {2}}}));
}

// Sources ":: Test Pod ::" and "On-The-Go": no playlist of its own.
inline QString twoSourceIpod()
{
    static QTemporaryDir dir;
    return writeTestIpod(dir, testDatabase({}), std::vector<int32_t>{0, 1});
}

class SimulatorFixture : public WindowFixture
{
protected:
    SimulatorFixture() { clearInterface(); }

    frmMain &openIpod(const QString &root)
    {
        auto songs = std::make_unique<MusicLibrary>();
        LoadReport report;
        EXPECT_FALSE(loadLibraryAt(root, *songs, report));
        frmMain &opened = open(std::move(songs));
        // A double click plays in the embedded player.
        opened.menus().item("mnuEmbedded")->trigger();
        EXPECT_FALSE(opened.menus().item("mnuDefaultOpen")->isChecked());
        opened.show();
        return opened;
    }

    static void setInterface(const char *key, const char *value)
    {
        QSettings store = corvanel::platform::settingsStore();
        store.setValue(QStringLiteral("iPodInterface/") + QLatin1String(key), QString::fromLatin1(value));
        store.sync();
    }
    static void clearInterface()
    {
        QSettings store = corvanel::platform::settingsStore();
        store.remove("iPodInterface");
        store.sync();
    }

    // The entries of a browser list.
    QStringList browserList(SongBrowser::Level level) const { return window->browser().list(level).rows; }
    int browserCurrent(SongBrowser::Level level) const { return window->browser().list(level).current; }
};
