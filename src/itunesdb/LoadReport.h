#pragma once
#include "SourceChoice.h"

#include <QString>
#include <vector>

namespace corvanel::itunesdb {

// One kind of failure met while loading, with how often it happened. The load shows one
// "Error, continuing!" box per kind, never one per occurrence.
struct LoadProblem
{
    enum class Kind {
        CopyFailed,                  // the database file could not be read
        DatabaseUnreadable,          // a compressed database or a shuffle's song list is damaged
        SongFileUnreadable,          // a song's file is missing, so its size stays 0
        DuplicateTrackId,            // a later track with an id already taken; the first keeps it
        PlaylistItemWithoutPlaylist, // a playlist item or name before any playlist record
        OnTheGoBadEntry,             // an On-The-Go entry that names no song, or a count past the file
        OnTheGoUnreadable,           // the On-The-Go file exists but cannot be read
        PlaylistIdMissing,           // a playlist names a track id the library does not hold
        TagsUnreadable,              // a song file the tag scan cannot read as audio
        PlayCountsDamaged,           // the Play Counts file is not one, or is cut short
        PlayCountsMismatch,          // its entry count is not the number of songs
        DatabasePartUnreadable,      // a file or table of a SQLite library is missing or damaged
        SongWithoutFile,             // a song the database lists without a file: it cannot play
    };
    Kind kind;
    int count = 0;
    QString detail; // the first occurrence: a path, an id or an offset
};

struct LoadReport
{
    bool isDatabase = false;           // the file started with "mhbd"
    bool fromTags = false;             // the library was read from the song files' tags
    SourceChoice source;               // the database it was read from, and why
    bool cancelled = false;            // the tag scan was stopped by the user
    int unknownTags = 0;               // bytes slid over looking for a known record
    std::vector<LoadProblem> problems; // one entry per kind, in the order first met
    // The tag scan's files that gave no song and folders it could not list, by stored path.
    std::vector<QString> unreadableFiles;
    std::vector<QString> unopenableFolders;

    // Counts one occurrence; the first one's detail is kept.
    void add(LoadProblem::Kind kind, const QString &detail);
    // The entry of that kind, or null when it never happened.
    const LoadProblem *find(LoadProblem::Kind kind) const;
    int count(LoadProblem::Kind kind) const;
};

// A short English name of the kind, for logs and the command line.
QString problemKindName(LoadProblem::Kind kind);

} // namespace corvanel::itunesdb
