#pragma once
#include "LoadReport.h"

#include <MusicLibrary.h>

#include <QByteArrayView>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// The iPod's On-The-Go file, relative to the iPod folder (matched without regard to case).
inline constexpr auto OnTheGoStoredPath = u"\\iPod_Control\\iTunes\\OTGPlaylistInfo";

// When the iPod has an On-The-Go file, appends the playlist "On-The-Go" with its songs.
void LoadOnTheGo(MusicLibrary &library, LoadReport &report);

// Appends the playlist "On-The-Go" and fills it from the file's bytes: N at offset 12, then
// N entries from offset 20, each the index of a song among the database's tracks. An entry
// that names no song, or a count that runs past the file, ends the reading; earlier entries stay.
void readOnTheGo(QByteArrayView bytes, MusicLibrary &library, LoadReport &report);

} // namespace corvanel::itunesdb
