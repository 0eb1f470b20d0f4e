#pragma once
// The iPod firmware's flag files: empty marker files in iPod_Control/Device whose mere
// presence switches a behaviour on. A file operation that fails is skipped silently: a
// missing iPod or a marker that is already there is not the user's problem. A link where a
// marker, its staging file or the folder should be is another matter: it is left alone and
// reported, since following it would write outside the iPod.
#include <QString>
#include <QStringList>

#include <array>

namespace corvanel::device {

// The markers in the order of the dialog: voltage display, short deep sleep, disabled cache.
inline const std::array<QString, 3> kFlagMarkers = {QStringLiteral("_show_voltage"), QStringLiteral("_short_deepsleep"),
                                                    QStringLiteral("_disable_cache")};
// A marker is created under this extension first, then renamed to its own name.
inline const QString kStagingSuffix = QStringLiteral(".txt");

using FlagStates = std::array<bool, 3>;

class iPodFlags
{
public:
    explicit iPodFlags(const QString &iPodDrive) : m_iPodDrive(iPodDrive) {}

    // Which markers exist, by their exact names (a staging file does not count).
    FlagStates load() const;
    // For each flag in order: a ticked one is created as an empty staging file (replacing an
    // old one) and renamed to the marker; a clear one loses its staging file, then its marker.
    // Returns a sentence for each link that was left alone.
    QStringList apply(const FlagStates &ticked) const;
    // Deletes every marker and staging file at once; the links left alone, as apply().
    QStringList reset() const;

private:
    QString m_iPodDrive;
};

} // namespace corvanel::device
