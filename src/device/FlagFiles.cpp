#include "FlagFiles.h"

#include "IpodFolder.h"

namespace corvanel::device {
namespace {

const QString kDeviceFolder = QStringLiteral("iPod_Control/Device");

// Keeps the sentence of a refused link; every other failure is skipped.
void noteLink(const std::expected<void, IpodError> &result, QStringList &links)
{
    if (!result && result.error().isLink())
        links << result.error().reason();
}

// The Device folder, or the reason it is refused (nothing when the iPod or folder is missing).
std::expected<IpodFolder, QStringList> deviceFolder(const QString &iPodDrive)
{
    std::expected<IpodFolder, IpodError> folder = IpodFolder::open(iPodDrive, kDeviceFolder);
    if (folder)
        return std::move(*folder);
    return std::unexpected(folder.error().isLink() ? QStringList{folder.error().reason()} : QStringList{});
}

// A ticked flag's marker: an empty staging file renamed to the marker's name.
void create(const IpodFolder &folder, const QString &marker, QStringList &links)
{
    const QString staging = marker + kStagingSuffix;
    // An old staging file is replaced: removed, then made afresh.
    const std::expected<void, IpodError> removed = folder.remove(staging);
    noteLink(removed, links);
    if (!removed)
        return;
    std::expected<FileHandle, IpodError> file = folder.createExclusive(staging);
    if (!file)
        return;
    file->close();
    // The rename fails when the marker is already there; the staging file must not stay
    // behind on the iPod then.
    if (!folder.renameToNew(staging, marker))
        folder.remove(staging);
}

} // namespace

FlagStates iPodFlags::load() const
{
    FlagStates present{};
    const std::expected<IpodFolder, QStringList> folder = deviceFolder(m_iPodDrive);
    if (!folder)
        return present;
    for (std::size_t i = 0; i < kFlagMarkers.size(); ++i)
        present[i] = folder->exists(kFlagMarkers[i]);
    return present;
}

QStringList iPodFlags::apply(const FlagStates &ticked) const
{
    const std::expected<IpodFolder, QStringList> folder = deviceFolder(m_iPodDrive);
    if (!folder)
        return folder.error();
    QStringList links;
    for (std::size_t i = 0; i < kFlagMarkers.size(); ++i) {
        if (ticked[i]) {
            create(*folder, kFlagMarkers[i], links);
        } else {
            noteLink(folder->remove(kFlagMarkers[i] + kStagingSuffix), links);
            noteLink(folder->remove(kFlagMarkers[i]), links);
        }
    }
    return links;
}

QStringList iPodFlags::reset() const
{
    const std::expected<IpodFolder, QStringList> folder = deviceFolder(m_iPodDrive);
    if (!folder)
        return folder.error();
    QStringList links;
    for (const QString &name : {QStringLiteral("_show_voltage.txt"), QStringLiteral("_show_voltage"),
                                QStringLiteral("_short_deepsleep"), QStringLiteral("_short_deepsleep.txt"),
                                QStringLiteral("_disable_cache.txt"), QStringLiteral("_disable_cache")})
        noteLink(folder->remove(name), links);
    return links;
}

} // namespace corvanel::device
