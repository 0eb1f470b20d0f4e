#include "FolderContainment.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace corvanel::platform {

namespace {

std::filesystem::path canonicalOf(const QString &path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(QFile::encodeName(path).toStdString(), error);
    if (error)
        return {};
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

} // namespace

bool isSameOrInside(const QString &path, const QString &folder)
{
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const std::filesystem::path outer = canonicalOf(folder);
    const std::filesystem::path inner = canonicalOf(path);
    if (outer.empty() || inner.empty())
        return false;
    auto o = outer.begin();
    auto i = inner.begin();
    for (; o != outer.end(); ++o, ++i) {
        // A trailing separator yields an empty last element; it names the same folder.
        if (o->empty() && std::next(o) == outer.end())
            break;
        if (i == inner.end() || *o != *i)
            return false;
    }
    return true;
}

} // namespace corvanel::platform
