#pragma once
#include "LibraryError.h"
#include <QString>
#include <expected>
#include <vector>

namespace corvanel::library {

class MusicLibrary;

// A per-playlist summary, built once after loading: it proves that every track id a playlist
// names is in the library.
class clsLibrary
{
public:
    struct PlaylistSummary
    {
        QString name;
        int songs = 0;
    };

    explicit clsLibrary(const MusicLibrary &library) : m_library(library) {}

    // Visits playlists 1 .. last. Stops at the first track id that the library does not hold.
    std::expected<void, LibraryError> FillMiniDatabase();

    const std::vector<PlaylistSummary> &summaries() const { return m_summaries; }

private:
    const MusicLibrary &m_library;
    std::vector<PlaylistSummary> m_summaries;
};

} // namespace corvanel::library
