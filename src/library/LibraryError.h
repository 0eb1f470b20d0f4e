#pragma once
#include <QString>

namespace corvanel::library {

enum class LibraryErrorKind {
    UnknownSongId, // a track id that is not in SongIndex
};

struct LibraryError
{
    LibraryErrorKind kind;
    QString message;
};

} // namespace corvanel::library
