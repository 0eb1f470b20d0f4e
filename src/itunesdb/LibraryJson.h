#pragma once
#include "ArtworkLibrary.h"
#include "LoadReport.h"
#include "TagScan.h"

#include <MusicLibrary.h>

#include <QByteArray>

#include <optional>

namespace corvanel::itunesdb {

using namespace corvanel::library;

// The library as the command line prints it (UTF-8 JSON, one object):
// {"ipod_name": "...", "source": "itunesdb"|"itunescdb"|"sqlite"|"itunessd"|"tags"|"none",
//  "songs": [{"index", "id", "title", "artist", "album", "genre", "path", "filetype", "track",
//  "length", "size", "play_count", "skip_count", "rating" (stars, 0-5), "last_played" (Unix
//  seconds, or null), "artwork"}], "playlists": [{"name": "...", "ids": ["1234", ...]}],
//  "warnings": {"unknown_tags": 0, "errors": ["..."]}}
// The errors are the texts of the boxes the load shows (one per problem kind, then the warning
// about unknown records), and last the reason when no library could be read at all.
// "artwork" is {"width": W, "height": H}, the size of the song's largest cover in `artwork`, or
// null when the song has none (always null without `artwork`).
QByteArray libraryToJson(const MusicLibrary &library, const LoadReport &report, ArtworkLibrary *artwork = nullptr);

// Why a database load gave no library at all: the file could not be read, is not an iTunesDB,
// or is so damaged that not one song could be read. Nothing when a library was read, an empty
// one included, and for songs read from their tags.
std::optional<QString> loadFailure(const MusicLibrary &library, const LoadReport &report);

// The song files the library's database does not name, as --orphans prints them:
// {"ipod_name": "...", "total_size": bytes of them all, "songs": [{"title", "artist", "album",
//  "genre", "path", "filetype", "track", "length", "size"}], "unreadable": files not read,
//  "unreadable_files": [{"path", "size"}], "unopenable_folders": ["path", ...]}
// total_size is the sum of the sizes of "songs" and "unreadable_files".
QByteArray orphansToJson(const MusicLibrary &library, const OrphanScan &orphans);

} // namespace corvanel::itunesdb
