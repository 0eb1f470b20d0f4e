#pragma once
// What the window tests share: small libraries built in memory, the main window over one with
// the dialogs recorded and nothing left in the store from before, and a few file and
// environment helpers.
#include "MusicLibrary.h"
#include "Options.h"
#include "RecordingDialogs.h"
#include "SettingsStore.h"
#include "Shell.h"
#include "TestFiles.h"
#include "frmMain.h"
#include "frmMenus.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::library;
using namespace corvanel::platform;

struct SongRow
{
    int id;
    QString title, artist, album, genre;
    int track = 0;
    int lengthMs = 180000;
    QString path = {};
};

inline std::unique_ptr<MusicLibrary>
buildLibrary(const std::vector<SongRow> &rows,
             std::initializer_list<std::pair<QString, std::vector<int>>> playlists = {},
             const QString &name = "Test iPod")
{
    auto library = std::make_unique<MusicLibrary>();
    library->iPodName = name;
    library->iPodDrive = "/nonexistent-ipod";
    clsPlayList &master = library->addPlaylist();
    master.Name = ":: " + name + " ::";
    for (const SongRow &row : rows) {
        Song &song = library->addSong();
        song.SongID = row.id;
        song.Title = row.title;
        song.Artist = row.artist;
        song.Album = row.album;
        song.Genre = row.genre;
        song.TrackNumber = row.track;
        song.Length = row.lengthMs;
        song.Path = row.path.isEmpty() ? QStringLiteral("\\iPod_Control\\Music\\F00\\S%1.mp3").arg(row.id) : row.path;
        song.FileType = "MPEG audio file";
        song.FileSize = 4096.0 * row.id;
        library->SongIndex.insert(QString::number(row.id), library->SongCount - 1);
        master.SongIDs.AddItem(QString::number(row.id));
    }
    for (const auto &[playlistName, ids] : playlists) {
        clsPlayList &playlist = library->addPlaylist();
        playlist.Name = playlistName;
        for (int id : ids)
            playlist.SongIDs.AddItem(QString::number(id));
    }
    return library;
}

// Replaces the "Player" section: these players, and the chosen one when given.
inline void storePlayerSettings(const QStringList &players = {}, const QString &defaultPlayer = QString())
{
    QSettings store = corvanel::platform::settingsStore();
    store.remove("Player");
    if (!players.isEmpty())
        store.setValue("Player/Count", QString::number(players.size()));
    for (qsizetype i = 0; i < players.size(); ++i)
        store.setValue(QStringLiteral("Player/Player%1").arg(i + 1), players[i]);
    if (!defaultPlayer.isEmpty())
        store.setValue("Player/DefaultPlayer", defaultPlayer);
    store.sync();
}

// The "Player" section as "key=value" texts, sorted by key.
inline QStringList playerSection()
{
    QSettings store = corvanel::platform::settingsStore();
    store.beginGroup("Player");
    QStringList out;
    for (const QString &key : store.allKeys())
        out << key + QLatin1Char('=') + store.value(key).toString();
    out.sort();
    return out;
}

// The file's content once it holds a line starting with marker, or nothing after the timeout.
inline std::optional<QByteArray> waitForFile(const QString &path, const QByteArray &marker, int timeoutMs = 10000)
{
    QByteArray content;
    const auto holdsMarker = [&] {
        content = readFile(path);
        return content.startsWith(marker) || content.contains("\n" + marker);
    };
    return QTest::qWaitFor(holdsMarker, timeoutMs) ? std::optional(content) : std::nullopt;
}

// The main window over a library of the test's, with every box recorded. The shell is
// recorded only where a test installs `shell`.
class WindowFixture : public ::testing::Test
{
protected:
    WindowFixture()
    {
        openOptionsStore()->clear();
        storePlayerSettings();
    }

    frmMain &open(std::unique_ptr<MusicLibrary> songs)
    {
        window.reset();
        library = std::move(songs);
        window = std::make_unique<frmMain>(*library);
        return *window;
    }
    frmMain &open(const std::vector<SongRow> &rows) { return open(buildLibrary(rows)); }

    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < window->songModel().rowCount(); ++r)
            out << window->songModel().text(r, c);
        return out;
    }
    QStringList titles() const { return column(SongCatalog::ColTitle); }
    static QStringList texts(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::ScopedDialogs scopedDialogs{dialogs};
    corvanel::platform::RecordingShell shell;
    std::unique_ptr<MusicLibrary> library;
    std::unique_ptr<frmMain> window;
};
