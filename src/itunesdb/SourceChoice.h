#pragma once
// Which of the iPod's music databases a library was read from, what else the iPod holds, and
// why the reader was chosen.
#include <QString>
#include <vector>

namespace corvanel::itunesdb {

enum class SourceKind {
    None,      // nothing could be read
    ITunesCdb, // iPod_Control/iTunes/iTunesCDB, the compressed database
    ITunesDb,  // iPod_Control/iTunes/iTunesDB
    Sqlite,    // the SQLite library of the nano 6G and 7G
    ITunesSd,  // iPod_Control/iTunes/iTunesSD, the shuffle's song list, with the songs' own tags
    Tags,      // the songs' own tags under iPod_Control/Music
};

// "itunescdb", "itunesdb", "sqlite", "itunessd", "tags"; "none".
QString sourceKindName(SourceKind kind);

// One database the chooser looked for.
struct SourceCandidate
{
    SourceKind kind = SourceKind::None;
    bool found = false; // the iPod holds it
    bool read = false;  // the chooser read it; the counts below are from that reading
    QString version;    // what the file says of its own format ("0x75", "bdhs"...), when known
    int songs = -1;     // -1 when not read
    int playlists = -1; // the same
    QString note;       // why it was passed over, when it was
};

struct SourceChoice
{
    std::vector<SourceCandidate> candidates; // in the order they are considered
    SourceKind chosen = SourceKind::None;
    QString reason; // one sentence
};

} // namespace corvanel::itunesdb
