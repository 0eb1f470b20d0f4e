#pragma once
#include "LibrarySource.h"
#include "ParseiTunesDB.h"
#include "ScanTask.h"
#include "SkinnedWindow.h"
#include "SongCatalog.h"

#include <functional>

class QLabel;
namespace corvanel::library {
class MusicLibrary;
}

namespace corvanel::app {

using namespace corvanel::library;

using namespace corvanel::itunesdb;
using namespace corvanel::skin;

// The question asked when the database gives no songs but the Music folder holds song files.
inline constexpr auto ReadTagsTitle = u"Corvanel";
inline constexpr auto ReadTagsQuestion =
    u"No usable music database was found on this iPod. Read the songs from their own tags instead?";

// Reads the iPod's database once per run, then opens the main window. When the database is
// missing, broken or empty while the Music folder holds songs, it offers to read the songs'
// own tags instead, with progress and a Cancel button.
class frmLoadingDB : public SkinnedWindow
{
    Q_OBJECT
public:
    explicit frmLoadingDB(MusicLibrary &library, QWidget *parent = nullptr);
    ~frmLoadingDB() override;

    // Shows the window and loads DBFile on a worker thread; the window stays responsive.
    void LoadDB(const QString &DBFile);
    // Starts reading DBFile on the worker thread without showing anything, so that the reading
    // runs while the start-up windows come up; LoadDB then shows the window and goes on.
    void startReading(const QString &DBFile);
    // Shows the window and reads the library from the songs' tags on a worker thread.
    void LoadTags();

    // What happens when the load is over; by default the main window is shown.
    void setOnLoaded(std::function<void()> onLoaded) { m_onLoaded = std::move(onLoaded); }
    // The screen-jump amount the main window's player starts with.
    void setScreenJump(int16_t amount) { m_screenJump = amount; }
    const LoadReport &report() const { return m_report; }
    bool loading() const { return m_task->running() || m_waiting; }
    ScanTask &task() { return *m_task; }

    QLabel *lbl = nullptr;

signals:
    void loaded();

private:
    void databaseRead();
    void loadFinished();

    MusicLibrary &m_library;
    LoadReport m_report;
    std::unique_ptr<SongCatalog> m_catalog;
    ScanTask *m_task = nullptr;
    bool m_offerTags = false; // set by the worker: the tags could stand in for the database
    bool m_waiting = false;   // between the database and the tag scan, while the question is open
    bool m_started = false;   // the database is being read, or has been
    bool m_read = false;      // the worker is done with it
    bool m_shown = false;     // LoadDB has shown the window
    std::function<void()> m_onLoaded;
    int16_t m_screenJump = 0;
};

// Shows the boxes a load calls for: one per kind of failure, then the unknown-data warning.
void reportLoadProblems(const LoadReport &report);

} // namespace corvanel::app
