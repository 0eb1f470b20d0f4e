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
    // The iPod's On-The-Go list, which the load adds from its own file after the database's.
    bool onTheGo = false;
};

} // namespace corvanel::library
