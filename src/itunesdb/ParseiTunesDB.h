#pragma once
#include "LoadReport.h"
#include "iTunesDBReader.h"

#include <MusicLibrary.h>

#include <QString>
#include <functional>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// Texts of the boxes the load shows.
inline constexpr auto UnknownTagWarningTitle = u"Error with iTunesDB"; // stop icon
inline constexpr auto LoadErrorTitle = u"Error!";                      // information icon
inline constexpr auto LoadErrorText = u"Error, continuing!";           // one box per problem kind
inline constexpr auto LoadingIntoProgramStatus = u"Loading database into program...";

// The text of the "Error with iTunesDB" box, shown once when unknown records were met.
QString unknownTagWarningText();

// Whether the load measures every song's file (FileSize), or leaves that to the caller, who
// can do it later with measureSongFiles (on an iPod that is thousands of slow look-ups).
enum class SongFileSizes { Measure, Later };

// Loads the iPod's database: reads DBFile into memory once (the iPod's file is not held
// open), walks it into `library` (whose iPodDrive must be set: song sizes and the
// On-The-Go file come from there), adds the On-The-Go playlist, builds SongIndex and
// Library. A file that does not start with "mhbd" leaves the library empty, quietly.
// A compressed database (iTunesCDB) is inflated first; one that does not inflate leaves the
// library empty and is reported (DatabaseUnreadable). The report's source says which it was.
// `status` and `progress` may be empty; both may be called from the thread that loads.
// `alongside`, when given, runs on a thread of its own once a database's songs are read, while
// the On-The-Go list, SongIndex and Library are built; it may read Songs and SongCount only.
// It is over when this returns.
LoadReport ParseiTunesDB(const QString &DBFile, MusicLibrary &library,
                         const std::function<void(const QString &status)> &status = {},
                         const LoadProgress &progress = {}, SongFileSizes sizes = SongFileSizes::Measure,
                         const std::function<void()> &alongside = {});

// Fills SongIndex from Songs in order; a later track with an id already taken is reported
// and the first keeps the key.
void buildSongIndex(MusicLibrary &library, LoadReport &report);
// Builds what the program needs over the songs and playlists read: SongIndex, then Library
// and its lists.
void buildIndexes(MusicLibrary &library, LoadReport &report);

} // namespace corvanel::itunesdb
