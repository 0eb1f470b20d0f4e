#pragma once
#include "ParseiTunesDB.h"
#include "SkinnedWindow.h"
#include "SongCatalog.h"

#include <QThread>
#include <functional>

class QLabel;
namespace corvanel::library {
class MusicLibrary;
}

namespace corvanel::app {

using namespace corvanel::library;

using namespace corvanel::itunesdb;
using namespace corvanel::skin;

// Reads the iPod's database once per run, then opens the main window.
class frmLoadingDB : public SkinnedWindow
{
    Q_OBJECT
public:
    explicit frmLoadingDB(MusicLibrary &library, QWidget *parent = nullptr);
    ~frmLoadingDB() override;

    // Shows the window and loads DBFile on a worker thread; the window stays responsive.
    void LoadDB(const QString &DBFile);

    // What happens when the load is over; by default the main window is shown.
    void setOnLoaded(std::function<void()> onLoaded) { m_onLoaded = std::move(onLoaded); }
    // The screen-jump amount the main window's player starts with.
    void setScreenJump(int16_t amount) { m_screenJump = amount; }
    const LoadReport &report() const { return m_report; }
    bool loading() const { return m_worker != nullptr; }

    QLabel *lbl = nullptr;

signals:
    void loaded();

private:
    void loadFinished();

    MusicLibrary &m_library;
    LoadReport m_report;
    std::unique_ptr<SongCatalog> m_catalog;
    QThread *m_worker = nullptr;
    std::function<void()> m_onLoaded;
    int16_t m_screenJump = 0;
};

// Shows the boxes a load calls for: one per kind of failure, then the unknown-data warning.
void reportLoadProblems(const LoadReport &report);

} // namespace corvanel::app
