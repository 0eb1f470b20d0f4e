#pragma once
// Small libraries built in memory for the window tests.
#include "MusicLibrary.h"

#include <QString>
#include <initializer_list>
#include <memory>
#include <vector>

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
             const QString &name = QStringLiteral("Test iPod"))
{
    auto library = std::make_unique<MusicLibrary>();
    library->iPodName = name;
    library->iPodDrive = QStringLiteral("/nonexistent-ipod");
    clsPlayList &master = library->addPlaylist();
    master.Name = QStringLiteral(":: ") + name + QStringLiteral(" ::");
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
        song.FileType = QStringLiteral("MPEG audio file");
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
