#include "frmMain.h"

#include "frmExtract.h"

#include "Dialogs.h"
#include "EmbeddedPlayer.h"
#include "ExternalPlayers.h"
#include "LibraryChecks.h"
#include "NativePath.h"
#include "PlaylistFile.h"
#include "WaitCursor.h"
#include "frmDefaultPlayer.h"
#include "frmMenus.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeView>
#include <functional>

namespace corvanel::app {

using namespace corvanel::extract;
using namespace corvanel::library;
using namespace corvanel::platform;
using namespace corvanel::playback;

namespace {
// Enter or Return pressed in the watched widget runs onEnter instead of reaching it.
class EnterKeyFilter : public QObject
{
public:
    EnterKeyFilter(QObject *parent, std::function<void()> onEnter) : QObject(parent), m_onEnter(std::move(onEnter)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_onEnter();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onEnter;
};
} // namespace

void frmMain::connectExternalPlayers()
{
    auto on = [this](const char *name, auto slot) {
        if (QAction *action = m_menus->item(QLatin1String(name)))
            connect(action, &QAction::triggered, this, slot);
    };
    on("mnuAddPlayer", &frmMain::mnuAddPlayer_Click);
    on("mnuOpenInDefaultAsPlaylist", &frmMain::cmdMakeM3u_Click);
    on("mnuDefault", &frmMain::cmdOpen_Click);
    on("mnuInExternal", &frmMain::cmdOpen_Click);
    on("mnuCheckForMissing", &frmMain::ScanForMissing);
    on("mnuCheckForDuplicates", &frmMain::ScanForDuplicates);
    on("mnuCheckForNotInDatabase", &frmMain::ScanForNotInDatabase);
    on("mnuExportPlays", &frmMain::mnuExportPlays_Click);
    on("mnuCheckup", &frmMain::mnuCheckup_Click);
    on("mnuExtract", [this] {
        m_browser->ExtractSelectedOnly = true;
        cmdExtract_Click();
    });
    connect(m_menus.get(), &frmMenus::playerChosen, this, &frmMain::mnuPlayer_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmMain::cmdOpen_Click);
    connect(cmdMakeM3u, &QPushButton::clicked, this, &frmMain::cmdMakeM3u_Click);
    connect(cmdExtract, &QPushButton::clicked, this, &frmMain::cmdExtract_Click);
    connect(lstSong, &QTreeView::doubleClicked, this, &frmMain::lstSong_DblClick);
    lstSong->installEventFilter(new EnterKeyFilter(lstSong, [this] { lstSong_DblClick(); }));
    LoadPlayers();
}

void frmMain::LoadPlayers()
{
    m_menus->removePlayerEntries();
    const std::vector<players::MenuEntry> entries = players::menuEntries();
    PlayerCount = static_cast<int16_t>(entries.size());
    for (const players::MenuEntry &entry : entries)
        m_menus->addPlayerEntry(entry.caption, entry.tag);
    SetDefaultPlayer();
}

void frmMain::SetDefaultPlayer()
{
    const QList<QAction *> entries = m_menus->playerEntries();
    QStringList tags;
    for (qsizetype i = 1; i < entries.size(); ++i)
        tags << entries[i]->data().toString();
    DefaultPlayer = players::storedDefaultPlayer();
    const std::vector<bool> marks = players::checkMarks(tags, DefaultPlayer);
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries[i]->setChecked(marks[static_cast<std::size_t>(i)]);
}

void frmMain::mnuPlayer_Click(int Index)
{
    const QList<QAction *> entries = m_menus->playerEntries();
    if (Index < 0 || Index >= entries.size())
        return;
    players::storeDefaultPlayer(Index == 0 ? QString() : entries[Index]->data().toString());
    SetDefaultPlayer();
}

void frmMain::mnuAddPlayer_Click()
{
    frmDefaultPlayer dialog([this] { LoadPlayers(); }, this);
    dialog.exec();
}

void frmMain::cmdOpen_Click()
{
    const int row = selectedSongRow();
    if (row < 0)
        return;
    const QString file = nativeSongPath(m_library.iPodDrive, m_model->text(row, SongCatalog::ColPath));
    if (file.isEmpty())
        return; // a refused path: nothing outside the iPod is handed over
    players::handOver(file, m_menus->playerEntries().front()->isChecked(), DefaultPlayer);
}

void frmMain::cmdMakeM3u_Click()
{
    if (selectedSongRow() < 0)
        return;
    const auto playlist = writeM3u(m_library.iPodDrive, *m_model);
    if (!playlist) {
        corvanel::platform::dialogs().critical(QStringLiteral("Open as Playlist"), playlist.error());
        return;
    }
    players::handOver(*playlist, m_menus->playerEntries().front()->isChecked(), DefaultPlayer);
}

void frmMain::lstSong_DblClick()
{
    if (selectedSongRow() < 0)
        return;
    const QAction *external = m_menus->item(QStringLiteral("mnuDefaultOpen"));
    if (external && external->isChecked())
        cmdOpen_Click();
    else
        m_player->picPlay_Click();
}

std::vector<int32_t> frmMain::songsToExtract()
{
    std::vector<int32_t> songs;
    if (m_browser->ExtractSelectedOnly) {
        m_browser->ExtractSelectedOnly = false;
        if (const int row = selectedSongRow(); row >= 0)
            songs.push_back(m_model->songAt(row));
        return songs;
    }
    songs.reserve(static_cast<std::size_t>(m_model->rowCount()));
    for (int row = 0; row < m_model->rowCount(); ++row)
        songs.push_back(m_model->songAt(row));
    return songs;
}

void frmMain::cmdExtract_Click()
{
    std::vector<int32_t> songs;
    {
        const WaitCursor wait;
        if (m_model->rowCount() == 0) {
            m_browser->ExtractSelectedOnly = false;
            return;
        }
        songs = songsToExtract();
    }
    corvanel::extract::frmExtract dialog(m_library, this);
    dialog.AddSongs(songs);
    dialog.exec();
}

} // namespace corvanel::app
