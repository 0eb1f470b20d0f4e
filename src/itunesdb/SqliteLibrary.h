#pragma once
// The music library of the iPods that keep it in SQLite files (nano 6G and 7G).
#include "LoadReport.h"
#include "iTunesDBReader.h"

#include <MusicLibrary.h>

#include <QString>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// Reads the SQLite library of the iPod at ipodFolder into `library`.
LoadReport readSqliteLibrary(const QString &ipodFolder, MusicLibrary &library, const LoadProgress &progress = {});

// True when the iPod at ipodFolder holds a SQLite library.
bool hasSqliteLibrary(const QString &ipodFolder);

} // namespace corvanel::itunesdb
