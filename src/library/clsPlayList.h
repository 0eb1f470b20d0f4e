#pragma once
#include "clsList.h"
#include <QString>

namespace corvanel::library {

// A playlist: its name and its songs as track-id texts, in playlist order.
class clsPlayList
{
public:
    QString Name;
    clsList SongIDs;
};

} // namespace corvanel::library
