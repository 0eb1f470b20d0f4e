#pragma once
// The library of an iPod nano of the 6th and 7th generation: SQLite databases in
// iPod_Control/iTunes/iTunes Library.itlp. Library.itdb holds the songs (table "item", genres
// in "genre_map", file kinds in "location_kind_map") and the playlists ("container", their
// songs in "item_to_container", the library's own playlist named by "db_info"); Locations.itdb
// holds each song's file below iPod_Control/Music ("location"); Dynamic.itdb holds play
// counts and ratings. The files are only ever read.
#include "LoadReport.h"
#include "SqliteDatabase.h"
#include "iTunesDBReader.h"

#include <MusicLibrary.h>

#include <QString>
#include <QStringView>
#include <expected>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// The library's folder as the iPod stores it, and its files.
inline constexpr auto SqliteLibraryFolder = u"\\iPod_Control\\iTunes\\iTunes Library.itlp";
inline constexpr auto SqliteLibraryFile = u"Library.itdb";
inline constexpr auto SqliteLocationsFile = u"Locations.itdb";
inline constexpr auto SqliteDynamicFile = u"Dynamic.itdb";

// True when the iPod holds a nano 6G/7G library (iPod_Control/iTunes/iTunes Library.itlp/Library.itdb).
bool hasSqliteLibrary(const QString &ipodFolder);

// Reads it into `library`, which is emptied first and gets ipodFolder as its iPodDrive: every
// song, in the library's own order, with ids 1, 2, ... in that order; Playlists(0) lists them
// all under the iPod's name decorated as ":: name ::" (the plain name in iPodName); then the
// other playlists, the On-The-Go list, SongIndex and Library. File sizes are measured on the
// iPod. A Library.itdb that cannot be read leaves the library empty with a CopyFailed problem
// and isDatabase false.
LoadReport readSqliteLibrary(const QString &ipodFolder, MusicLibrary &library, const LoadProgress &progress = {});

// The file `name` of the library's folder on the iPod, matched without regard to case (the
// literal name when nothing matches).
QString sqliteLibraryPath(const QString &ipodFolder, QStringView name);
// Opens one of the library's files (Library.itdb, Locations.itdb, Dynamic.itdb) read-only.
std::expected<SqliteDatabase, SqliteError> openSqliteLibraryFile(const QString &ipodFolder, QStringView name);

// The songs and playlists of opened databases, without measuring files, the On-The-Go list or
// the indexes. `locations` may be null (its file could not be opened): then no song has a file;
// `dynamic` (Dynamic.itdb) may be null: then no song has plays, skips or a rating.
// The iPod's folder in library.iPodDrive only names the library when its database does not.
void fillFromSqlite(SqliteDatabase &libraryDb, SqliteDatabase *locations, MusicLibrary &library, LoadReport &report,
                    SqliteDatabase *dynamic = nullptr);

// The database's words for a file's kind, from its name's extension ("MPEG audio file" for
// .mp3); empty for an extension iTunes does not give the iPod.
QString fileTypeOfExtension(QStringView fileName);

} // namespace corvanel::itunesdb
