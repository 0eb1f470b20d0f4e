#pragma once
// The one place that decides which of the iPod's databases its library is read from.
#include "LoadReport.h"
#include "ParseiTunesDB.h"
#include "TagScan.h"

#include <MusicLibrary.h>

#include <QString>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// The iPod's databases, relative to its folder (each part matched without regard to case).
inline constexpr auto ITunesCdbStoredPath = u"\\iPod_Control\\iTunes\\iTunesCDB";
inline constexpr auto ITunesDbStoredPath = u"\\iPod_Control\\iTunes\\iTunesDB";

// Reads the library of the iPod at library.iPodDrive with the first of its databases that
// serves: the compressed iTunesCDB when it inflates (the iPods that keep one leave the iTunesDB
// beside it empty or out of date), else the iTunesDB when it has songs, else the SQLite library,
// else the shuffle's iTunesSD. When none gives songs, the iTunesDB's reading stands (an empty
// library, or why it could not be read) and the caller may offer the songs' own tags. The
// report's `source` tells what the iPod holds and why the reader was chosen; a database that was
// passed over because it is damaged is reported too. `control` carries the status, the progress
// and the way to stop (of the shuffle's song files, which are read one by one).
// `steps` lets the caller leave the songs' sizes for later, and run work that needs only the songs
// beside the rest of an iTunesDB's load; that work runs only when the iTunesDB it follows is the
// one chosen (it has songs), so it never sees a library that is then put aside.
struct LoadSteps
{
    SongFileSizes sizes = SongFileSizes::Measure;
    std::function<void()> alongside;
};
LoadReport loadIpodLibrary(MusicLibrary &library, const ScanControl &control = {}, const LoadSteps &steps = {});

// The library of a database file: the iPod's own iTunesDB (under library.iPodDrive) stands for
// the iPod, which loadIpodLibrary reads; any other file is read as it stands.
LoadReport loadLibraryFile(const QString &DBFile, MusicLibrary &library, const ScanControl &control = {},
                           const LoadSteps &steps = {});

} // namespace corvanel::itunesdb
