#pragma once
// The song files below an iPod's iPod_Control/Music folder, found by walking its folders
// (F00..F49 and any other), with names matched without regard to case as on the iPod.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace corvanel::itunesdb {

struct MusicFile
{
    QString storedPath;  // in the iPod's own form: \iPod_Control\Music\F00\ABCD.mp3
    QByteArray fileName; // the file's name on this system
    qint64 size = -1;    // -1 when the walk did not need to look at the file (the reader measures it)
    // False when storedPath cannot name the file again: a name that is not UTF-8, or that holds
    // a "\" or a control character. Such a file cannot be a song; storedPath still shows its name.
    bool pathExact = true;
};

struct MusicListing
{
    bool musicFolderFound = false;
    bool cancelled = false;
    std::vector<MusicFile> files;           // ordered by stored path without regard to case
    std::vector<QString> unopenableFolders; // stored paths of the folders that could not be listed
    int refused = 0;                        // links out of the iPod
};

// Walks the Music folder of the iPod mounted at `iPodDrive`. A symbolic link is followed only
// when it stays inside the iPod, no folder is entered twice (link loops end), and a file
// reached twice is listed once. Hidden entries and names that are not song files are passed by.
// A set `cancel` ends the walk with what it has found; so does finding `enough` files.
// `found`, when given, hears of each file as soon as the walk meets it.
MusicListing listMusicFiles(const QString &iPodDrive, const std::atomic<bool> *cancel = nullptr,
                            std::size_t enough = SIZE_MAX,
                            const std::function<void(const MusicFile &file)> &found = {});

// The order of the files by stored path without regard to case (then with it, so that it is
// always the same): the indexes of `files`.
std::vector<std::size_t> storedPathOrder(const std::vector<MusicFile> &files);

} // namespace corvanel::itunesdb
