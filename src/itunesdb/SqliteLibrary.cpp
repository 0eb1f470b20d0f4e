#include "SqliteLibrary.h"

namespace corvanel::itunesdb {

// No SQLite library is read yet: every iPod reads as one without it.
LoadReport readSqliteLibrary(const QString &, MusicLibrary &, const LoadProgress &)
{
    return LoadReport();
}

bool hasSqliteLibrary(const QString &)
{
    return false;
}

} // namespace corvanel::itunesdb
