#pragma once
#include "IpodCheckup.h"
#include "LibraryChecks.h"
#include "MusicLibrary.h"
#include "ScanTask.h"
#include "SkinFrame.h"
#include "SongBrowser.h"
#include "SongCatalog.h"
#include "SongTableModel.h"
#include "clsList.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QGroupBox;
class QTreeView;
class QHBoxLayout;
class QVBoxLayout;
namespace corvanel::skin {
class CoverView;
class frmBack;
} // namespace corvanel::skin
namespace corvanel::playback {
class frmEQ;
}
namespace corvanel::skin {
class SkinFrame;
}

namespace corvanel::app {

using namespace corvanel::playback;

using namespace corvanel::library;
using namespace corvanel::skin;

class EmbeddedPlayer;
class SongSizePass;
class MprisService;
class frmCheckup;
class frmMenus;
class TrayIcon;

// The main window: the browser cascade, the song list, the search, the frame and the menus.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    // The catalog may be worked out beforehand, off the UI thread.
    explicit frmMain(MusicLibrary &library, std::unique_ptr<SongCatalog> catalog = nullptr, QWidget *parent = nullptr,
                     const std::function<void(const QString &)> &engineStatus = {});
    ~frmMain() override;

    // The cascade; each also runs when code changes its list's selection.
    void lstSource_Click();
    void lstGenre_Click();
    void lstArtist_Click();
    void lstAlbum_Click();
    void SelectOneVal(QListWidget *InList, int Val);
    static bool IsSelectedInList(const QListWidget *list, const QString &Text);

    void txtSearch_Change();
    void imgClearSearch_Click();
    void cmdJump_Click();
    void lstSong_ColumnClick(int column);

    // Menu actions that belong to the window.
    void mnuInfo_Click();
    void mnuShowFile_Click();
    void mnuWebsite_Click();
    void mnuAbout_Click();
    void mnuUpdate_Click();
    void mnuShow_Click();
    void ShowPopup();

    // External players and the library checks (see connectExternalPlayers).
    void LoadPlayers();
    void SetDefaultPlayer();
    void mnuPlayer_Click(int Index);
    void mnuAddPlayer_Click();
    void cmdOpen_Click();
    void cmdMakeM3u_Click();
    void ScanForDuplicates();
    void ScanForMissing();
    void missingCheckFinished(const CheckResult &result);
    // The song files the database does not know, read off the UI thread with progress.
    void ScanForNotInDatabase();
    void notInDatabaseCheckFinished(corvanel::itunesdb::OrphanScan result);
    // Adds those songs to the browser as the "[Not in Database]" source.
    void addNotInDatabaseSource(std::vector<Song> songs);
    // The plays since the iPod's last sync into a file, for a scrobbling service.
    void mnuExportPlays_Click();
    // The iPod check-up's window; its buttons run the checks above and the reading from tags.
    void mnuCheckup_Click();
    frmCheckup *checkupWindow() const;
    // Reads the library anew from the songs' own tags, with progress, and shows it.
    void readLibraryFromTags();
    bool readingTags() const { return m_readingTags; }
    ScanTask &notInDatabaseTask() { return *m_notInDatabaseTask; }
    void lstSong_DblClick();
    // Extraction: the selected song (ExtractSelectedOnly) or every row of the song list.
    void cmdExtract_Click();
    std::vector<int32_t> songsToExtract();
    // The iPod device tools (see connectDeviceTools).
    void mnuHacks_Click();
    void mnuPowerSave_Click();
    void mnuiPodInfo_Click();
    void mnuEjectAndClose_Click();
    void mnuCopyToiPod_Click();
    // Ejects the iPod when "E&ject on Corvanel Close" is checked; part of the shutdown.
    void ProcessEject();
    int16_t PlayerCount = 0;
    QString DefaultPlayer; // the chosen player's path; empty for the desktop's association

    // State the other parts of the program and the tests look at.
    SongTableModel &songModel() { return *m_model; }
    const SongCatalog &catalog() const { return *m_catalog; }
    frmMenus &menus() { return *m_menus; }
    int selectedSongRow() const;
    int32_t volume() const;
    void setVolume(int32_t volume);
    EmbeddedPlayer &player() { return *m_player; }
    MusicLibrary &library() { return m_library; }
    void selectSongRow(int row);
    // The now-playing labels replace the idle hint once a song was started.
    void showNowPlaying(bool shown);
    // The analyser's jump: the window moves by offset and comes back 20 ms later.
    void jumpBy(int offset);
    bool isJumping() const { return m_jumping; }
    void handOverToExternalPlayer() { cmdOpen_Click(); }
    void cmdEQ_Click();
    const QString &nowPlayingLength() const { return m_nowPlayingLength; }
    void setNowPlayingLength(const QString &milliseconds) { m_nowPlayingLength = milliseconds; }
    bool trayAvailable() const;

    // The browser's rules; the lists above show what it holds.
    SongBrowser &browser() { return *m_browser; }

    QListWidget *lstSource = nullptr;
    QListWidget *lstGenre = nullptr;
    QListWidget *lstArtist = nullptr;
    QListWidget *lstAlbum = nullptr;
    QTreeView *lstSong = nullptr;
    QLineEdit *txtSearch = nullptr;
    QLabel *imgClearSearch = nullptr;
    QGroupBox *fraNow = nullptr;
    QPushButton *cmdJump = nullptr;
    QPushButton *cmdDefault = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdMakeM3u = nullptr;
    QPushButton *cmdExtract = nullptr;
    QPushButton *cmdEQ = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblArtist = nullptr;
    QLabel *lblAlbum = nullptr;
    QLabel *lblGenre = nullptr;
    QLabel *lblTime = nullptr;
    corvanel::skin::CoverView *picCover = nullptr; // the playing song's cover, beside its labels

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildFrame(QVBoxLayout *root);
    void buildFilterLists(QHBoxLayout *body);
    void buildSearchRow(QVBoxLayout *right);
    void buildSongList(QVBoxLayout *right);
    void buildNowPlaying(QHBoxLayout *bottom);
    void buildButtons(QHBoxLayout *bottom);
    void connectBrowser();
    QListWidget *filterList(SongBrowser::Level level) const;
    void connectFilterList(SongBrowser::Level level);
    void showList(SongBrowser::Level level);
    void showSelectedSongRow(int row);
    void connectMenus();
    void connectPlayer();
    void connectExternalPlayers();
    void connectSimulator();
    void connectDeviceTools();
    void finishSongDetails();
    void songSizesMeasured(int32_t count, const corvanel::itunesdb::LoadReport &problems);
    // The player on the session bus: its remote control (MPRIS) and the song notifications.
    void connectDesktop();
    void Shutdown();
    void checkupRemedy(corvanel::checkup::Remedy remedy);
    void replaceLibrary(MusicLibrary fresh);

    MusicLibrary &m_library;
    std::unique_ptr<SongCatalog> m_catalog;
    SongTableModel *m_model = nullptr;
    std::unique_ptr<frmBack> m_back;
    std::unique_ptr<frmMenus> m_menus;
    SkinFrame *m_frame = nullptr;
    TrayIcon *m_tray = nullptr;
    QLabel *m_songsLabel = nullptr;
    int m_filterRuns = 0;         // selection changes of the filter lists handled so far
    int m_filterRunsAtPress = -1; // their count when a filter list was last pressed
    bool m_shutDown = false;
    bool m_jumping = false;
    EmbeddedPlayer *m_player = nullptr;
    MprisService *m_mpris = nullptr;
    SongBrowser *m_browser = nullptr;
    QLabel *m_idleHint = nullptr;
    QPointer<frmEQ> m_eq;
    BackdropCache m_backdrop;
    MissingFilesCheck *m_missingCheck = nullptr;
    ScanTask *m_notInDatabaseTask = nullptr;
    SongSizePass *m_sizes = nullptr;
    ScanTask *m_searchTexts = nullptr;
    QPointer<frmCheckup> m_checkup;
    bool m_readingTags = false;
    QString m_nowPlayingLength; // the playing song's length in milliseconds, as text
};

} // namespace corvanel::app
