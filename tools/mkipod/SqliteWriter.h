#pragma once
// The SQLite library of an iPod nano of the 6th and 7th generation, written from a Database.
#include "IpodBuilder.h"

#include <QString>
#include <cstdint>

namespace mkipod {

// Writes <root>/iPod_Control/iTunes/iTunes Library.itlp/ with Library.itdb (the tracks, their
// genres and file kinds, the playlists; playlists[0] is the library's own and bears the iPod's
// name), Locations.itdb (each track's file, relative to iPod_Control/Music) and Dynamic.itdb
// (play counts and ratings). A track's file that exists gives its size.
bool writeSqliteLibrary(const QString &root, const Database &db, QString *error = nullptr);

// Makes an iPod written by writeIpod a nano 6G/7G: writes the SQLite library of `db` and
// replaces the iTunesDB with one without tracks whose master playlist keeps the iPod's name.
// The song files and OTGPlaylistInfo stay.
bool makeSqliteIpod(const QString &root, const Database &db, QString *error = nullptr);

// A persistent id as iTunes gives tracks and playlists: 64 bits that look random, always the
// same for the same number.
int64_t persistentId(uint64_t number);

} // namespace mkipod
