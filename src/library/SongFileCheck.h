#pragma once
// Whether a song's file is on the iPod: an ordinary, visible file at iPodDrive + Path, the
// name matched without regard to case as on the iPod.
#include "NativePath.h"
#include "Song.h"

#include <QByteArray>
#include <QString>
#include <string>

namespace corvanel::library {

class SongFileCheck
{
public:
    explicit SongFileCheck(const QString &iPodDrive);

    // True when no ordinary file answers to the song's path: a folder of that name, a hidden
    // file, or a refused path (see NativePathResolver::isSafe) count as missing.
    bool missing(const Song &song);

private:
    QByteArray m_drive;
    NativePathResolver m_resolver;
    std::string m_path; // reused for every song, so a file that is there costs one stat
};

} // namespace corvanel::library
