#pragma once
// The two checks of the "&Extras" menu over the whole library: songs listed twice, and songs
// whose file is gone from the iPod. Each gives a count and the report lines, every line being
// a line break followed by "Artist - Title".
#include "Dialogs.h"
#include "MusicLibrary.h"

#include <QString>
#include <cstdint>

struct CheckResult
{
    int64_t count = 0;
    QString report;
};

// Songs with equal Title, Artist and Album (exact comparison). Of each group of n equal songs,
// in library order, the first is reported n-1 times, the second n-2 times and so on: the
// report and count of comparing every song with every other and skipping a song that has
// already been reported.
CheckResult findDuplicates(const MusicLibrary &library);

// Songs without an ordinary file at iPodDrive + Path: a folder of that name, or a hidden
// file, counts as missing. Names are matched without regard to case, as on the iPod.
CheckResult findMissing(const MusicLibrary &library);

// The boxes that report the results.
corvanel::Message duplicatesMessage(const CheckResult &result);
corvanel::Message missingMessage(const CheckResult &result);
