#pragma once
#include <QString>

enum class LibraryErrorKind {
    UnknownSongId, // a track id that is not in SongIndex
};

struct LibraryError
{
    LibraryErrorKind kind;
    QString message;
};
