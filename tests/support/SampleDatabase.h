#pragma once
// The sample library the reader and mkipod tests share.
#include <IpodBuilder.h>

namespace testdb {

// Three songs: every string (empty artist and genre, a comment to step over), a podcast with feed addresses
// and no album or genre object, and one with no string objects at all; a master, a plain, a smart and a
// podcast playlist.
inline mkipod::Database sampleDatabase(mkipod::Layout layout)
{
    mkipod::Database db;
    db.layout = layout;
    mkipod::Track a;
    a.id = 101;
    a.title = "First \"quoted\" song";
    a.artist = "";
    a.album = "Album A";
    a.genre = "";
    a.location = ":iPod_Control:Music:F00:AAAA.mp3";
    a.fileType = "MPEG audio file";
    a.comment = "a comment the reader steps over";
    a.trackNumber = 3;
    a.lengthMs = 245000;
    a.sizeBytes = 1111;
    mkipod::Track b;
    b.id = 202;
    b.title = QString::fromUtf8("\u6f22\u5b57 \U0001F3B5 caf\u00e9"); // CJK, a surrogate pair, Latin-1
    b.artist = "Artist B";
    b.location = ":iPod_Control:Music:F01:BBBB.m4a";
    b.fileType = "AAC audio file";
    b.podcast = true;
    b.podcastUrl = "http://example.invalid/feed/episode.mp3";
    b.podcastRss = "http://example.invalid/feed.rss";
    b.trackNumber = 1;
    b.lengthMs = 1000;
    mkipod::Track c;
    c.id = -5;
    c.lengthMs = 7;
    db.tracks = {a, b, c};
    db.playlists = {{"Pod", {101, 202, -5}, true},
                    {"Mix", {202, 101}},
                    {"Smart", {101}, false, false, true},
                    {"Casts", {202}, false, true}};
    return db;
}

} // namespace testdb
