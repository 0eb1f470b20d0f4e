#include "FlagFiles.h"

#include "NativePath.h"

#include <QFile>
#include <QFileInfo>

namespace corvanel::device {

using namespace corvanel::library;

iPodFlags::iPodFlags(const QString &iPodDrive)
    : m_folder(iPodDrive.isEmpty() ? QString() : nativeSongPath(iPodDrive, QStringLiteral("\\iPod_Control\\Device")))
{
}

QString iPodFlags::path(const QString &name) const
{
    return m_folder + QLatin1Char('/') + name;
}

FlagStates iPodFlags::load() const
{
    FlagStates present{};
    if (m_folder.isEmpty())
        return present;
    for (std::size_t i = 0; i < kFlagMarkers.size(); ++i)
        present[i] = QFileInfo::exists(path(kFlagMarkers[i]));
    return present;
}

void iPodFlags::create(const QString &marker) const
{
    const QString staging = path(marker + kStagingSuffix);
    QFile file(staging);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.close();
    // The rename fails when the marker is already there; the staging file must not stay
    // behind on the iPod then.
    if (!QFile::rename(staging, path(marker)))
        QFile::remove(staging);
}

void iPodFlags::apply(const FlagStates &ticked) const
{
    if (m_folder.isEmpty())
        return;
    for (std::size_t i = 0; i < kFlagMarkers.size(); ++i) {
        if (ticked[i]) {
            create(kFlagMarkers[i]);
        } else {
            QFile::remove(path(kFlagMarkers[i] + kStagingSuffix));
            QFile::remove(path(kFlagMarkers[i]));
        }
    }
}

void iPodFlags::reset() const
{
    if (m_folder.isEmpty())
        return;
    for (const QString &name : {QStringLiteral("_show_voltage.txt"), QStringLiteral("_show_voltage"),
                                QStringLiteral("_short_deepsleep"), QStringLiteral("_short_deepsleep.txt"),
                                QStringLiteral("_disable_cache.txt"), QStringLiteral("_disable_cache")})
        QFile::remove(path(name));
}

} // namespace corvanel::device
