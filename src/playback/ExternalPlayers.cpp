#include "ExternalPlayers.h"

#include "ProductName.h"
#include "SettingsStore.h"
#include "Shell.h"

#include <QFileInfo>
#include <limits>

namespace corvanel::playback {

using namespace corvanel::platform;

namespace players {

namespace {

const QString kSection = QStringLiteral("Player");
const QString kCount = QStringLiteral("Count");
const QString kDefault = QStringLiteral("DefaultPlayer");

QString playerKey(int i)
{
    return QStringLiteral("Player") + QString::number(i);
}

QString sectionKey(const QString &key)
{
    return kSection + QLatin1Char('/') + key;
}

} // namespace

int16_t storedCount()
{
    const auto count =
        corvanel::platform::toInt32(corvanel::platform::getSetting(kSection, kCount, QStringLiteral("0")));
    if (!count || *count < std::numeric_limits<int16_t>::min() || *count > std::numeric_limits<int16_t>::max())
        return 0;
    return static_cast<int16_t>(*count);
}

QStringList storedPlayers()
{
    QSettings store = corvanel::platform::settingsStore();
    QStringList paths;
    const int16_t count = storedCount();
    for (int i = 1; i <= count; ++i)
        paths << store.value(sectionKey(playerKey(i))).toString();
    return paths;
}

QString storedDefaultPlayer()
{
    return corvanel::platform::getSetting(kSection, kDefault);
}

void storeDefaultPlayer(const QString &path)
{
    QSettings store = corvanel::platform::settingsStore();
    if (path.isEmpty())
        store.remove(sectionKey(kDefault));
    else
        store.setValue(sectionKey(kDefault), path);
}

void storePlayers(const QStringList &rows)
{
    const int16_t oldCount = storedCount();
    const QString chosen = storedDefaultPlayer();
    QSettings store = corvanel::platform::settingsStore();
    for (int i = 1; i <= oldCount; ++i)
        store.remove(sectionKey(playerKey(i)));
    store.setValue(sectionKey(kCount), QString::number(rows.size()));
    bool chosenListed = false;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        store.setValue(sectionKey(playerKey(static_cast<int>(i) + 1)), rows[i]);
        chosenListed = chosenListed || rows[i] == chosen;
    }
    if (!chosenListed)
        store.remove(sectionKey(kDefault));
    store.sync();
}

std::vector<MenuEntry> menuEntries(const DesktopEntryIndex &desktop)
{
    std::vector<MenuEntry> entries;
    for (const QString &tag : storedPlayers()) {
        const QString name = GetProductName(desktop, tag);
        entries.push_back({name.isEmpty() ? tag : name, tag});
    }
    return entries;
}

std::vector<MenuEntry> menuEntries()
{
    if (storedCount() <= 0)
        return {};
    return menuEntries(DesktopEntryIndex());
}

std::vector<bool> checkMarks(const QStringList &tags, const QString &defaultPlayer)
{
    std::vector<bool> marks(static_cast<std::size_t>(tags.size()) + 1, false);
    if (defaultPlayer.isEmpty()) {
        marks[0] = true;
        return marks;
    }
    for (qsizetype i = 0; i < tags.size(); ++i)
        marks[static_cast<std::size_t>(i) + 1] = tags[i] == defaultPlayer;
    return marks;
}

bool handOver(const QString &file, bool useAssociation, const QString &player)
{
    if (file.isEmpty())
        return false;
    // An absolute path never starts with "-", so no player can take it for an option.
    const QString path = QFileInfo(file).absoluteFilePath();
    if (useAssociation)
        return corvanel::platform::shell().openDocument(path);
    return corvanel::platform::shell().startProgram(player, {path});
}

} // namespace players

} // namespace corvanel::playback
