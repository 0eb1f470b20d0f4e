#pragma once
// The library read from the song files' own tags, for an iPod whose database is gone or
// broken, and the song files that the database does not know.
#include "LoadReport.h"
#include "MusicFolderWalk.h"
#include "iTunesDBReader.h"

#include <MusicLibrary.h>

#include <QString>
#include <atomic>
#include <functional>
#include <vector>

namespace corvanel::itunesdb {

using namespace corvanel::library;

inline constexpr auto TagScanStatus = u"Reading the songs' own tags...";
inline constexpr auto NotInDatabaseName = u"[Not in Database]";

// What a long scan reports to, and how it is stopped. Each part may be empty; the callbacks
// are called on the scanning thread.
struct ScanControl
{
    std::function<void(const QString &status)> status;
    LoadProgress progress; // files read so far, of all
    const std::atomic<bool> *cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

// Fills `library` (whose iPodDrive is set) from the tags of every song file under the
// iPod's Music folder: songs with ids from 1 in the order of their paths, one master playlist
// ":: name ::" holding them all, where the name is the iPod folder's (also in iPodName), then
// SongIndex and Library. A file that gives no song is counted (TagsUnreadable), named in the
// report's unreadableFiles and left out; so are the folders that could not be listed
// (unopenableFolders). A cancelled scan leaves the library empty and sets `cancelled`.
LoadReport scanLibraryFromTags(MusicLibrary &library, const ScanControl &control = {});

// The name an iPod goes by when its database does not give one: its folder's name, or "iPod".
QString folderIpodName(const QString &drive);

// One song from one file: the tags, the stored path, the size. Nothing when unreadable, or
// when the stored path cannot name the file again.
std::optional<Song> songFromFile(const MusicFile &file);

// True when a load gave no songs (no file, no "mhbd", or no tracks) while the iPod's Music
// folder holds song files: then the tags can stand in for the database.
bool tagScanCanHelp(const MusicLibrary &library, const LoadReport &report);

// The song files that no song of the library names (paths compared without regard to case).
struct UnreadableFile
{
    QString path; // stored form
    qint64 size = 0;
};
struct OrphanScan
{
    std::vector<Song> songs;                // with their tags, paths and sizes; no ids yet
    std::vector<UnreadableFile> unreadable; // orphaned files that give no song (not in `songs`)
    qint64 totalBytes = 0;                  // of the songs and the unreadable files together
    std::vector<QString> unopenableFolders; // stored paths of folders that could not be listed
    bool cancelled = false;
};
OrphanScan findOrphanedSongs(const MusicLibrary &library, const ScanControl &control = {});

// The same files counted without reading them: how many, and their total size.
struct OrphanFiles
{
    bool musicFolderFound = false;
    int files = 0;
    qint64 totalBytes = 0;
    bool cancelled = false;
};
OrphanFiles countOrphanedFiles(const MusicLibrary &library, const ScanControl &control = {});

// Adds songs to a loaded library as one more source, "[Not in Database]", placed just before
// the On-The-Go list (or last). They get ids that no song has; SongIndex and Library are
// built again. Nothing happens for no songs, or when the source is already there.
void addNotInDatabase(MusicLibrary &library, std::vector<Song> songs);

} // namespace corvanel::itunesdb
