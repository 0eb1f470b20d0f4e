#pragma once

#include <QString>

namespace corvanel::platform {

// True when `path` is `folder` itself or lies anywhere below it. Both are compared as canonical
// paths (links resolved, "." and ".." folded; a tail that does not exist yet is kept as written)
// and only at folder boundaries, so /media/u/IPOD1 is not inside /media/u/IPOD. An empty folder
// contains nothing.
bool isSameOrInside(const QString &path, const QString &folder);

} // namespace corvanel::platform
