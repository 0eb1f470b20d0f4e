#pragma once
// The external players: their list in the settings (section "Player": "Count", "Player1" ...,
// "DefaultPlayer"), the entries of the "&External Player" submenu, and handing a file over
// to the chosen player or to the desktop's association.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace corvanel::playback {

class DesktopEntryIndex;

namespace players {

// "Count" as a 16-bit number; 0 when absent or not a number in range.
int16_t storedCount();
// "Player1" ... "Player<Count>", empty text for a missing key.
QStringList storedPlayers();
// "DefaultPlayer"; empty means the desktop's association.
QString storedDefaultPlayer();
// Stores the chosen player; an empty path deletes "DefaultPlayer".
void storeDefaultPlayer(const QString &path);
// Replaces the stored list with rows (the old "Player" keys deleted first). When no row is
// the chosen player any more, the choice is deleted and falls back to the association.
void storePlayers(const QStringList &rows);

// One run-time entry of the submenu: caption = the program's name, or its path.
struct MenuEntry
{
    QString caption;
    QString tag; // the player's path
};
// The entries after "[Default Player]", from the stored list.
std::vector<MenuEntry> menuEntries();
std::vector<MenuEntry> menuEntries(const DesktopEntryIndex &desktop);

// Which entries carry the check mark, entry 0 being "[Default Player]": entry 0 when
// defaultPlayer is empty, otherwise every entry whose tag is exactly defaultPlayer.
std::vector<bool> checkMarks(const QStringList &tags, const QString &defaultPlayer);

// Hands a file to the desktop's association (useAssociation) or to the player program, the
// file's absolute path being the program's one argument. No shell sees the path. The
// result of the start is not reported to the user.
bool handOver(const QString &file, bool useAssociation, const QString &player);

} // namespace players

} // namespace corvanel::playback
