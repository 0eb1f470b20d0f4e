#pragma once
#include "DiskInventory.h"
#include "SingleInstance.h"
#include "SkinnedWindow.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QLabel;
namespace corvanel::library {
class MusicLibrary;
}

namespace corvanel::app {

class frmLoadingDB;

using namespace corvanel::library;

using namespace corvanel::platform;
using namespace corvanel::skin;

// Where the database comes from, decided from the command line.
struct DatabaseSource
{
    enum class Kind { DatabaseFile, IpodFolder, Scan } kind = Kind::Scan;
    QString iPodDrive;
    QString DBFile;
};
DatabaseSource decideDatabaseSource(const QString &commandLine);
// True when the command line asks for the screen jump.
bool wantsScreenJump(const QString &commandLine);

// The start-up window: refuses a second copy, offers a pending update, finds the iPod.
class frmInit : public SkinnedWindow
{
    Q_OBJECT
public:
    explicit frmInit(MusicLibrary &library, QString commandLine, QWidget *parent = nullptr);
    ~frmInit() override;

    // The load steps. False when the program is to end here (second copy, update started).
    bool start();
    // The screen-jump amount the command line asked for (0: none).
    int16_t screenJump() const { return m_screenJump; }
    void StartFindiPod();
    // True when an iPod was found; otherwise the user has been told and the window closes.
    bool StartScan();
    void LoadDBFile(const QString &File);
    static bool IsIpod(const QString &drive);

    // Tests give the device search their own trees and catch the hand-over.
    void setInventory(std::function<corvanel::platform::DiskInventory()> inventory)
    {
        m_inventory = std::move(inventory);
    }
    void setOnLoad(std::function<void(const QString &)> onLoad) { m_onLoad = std::move(onLoad); }
    void setUpdateFolder(const QString &folder) { m_updateFolder = folder; }
    void setInstanceLock(const QString &path) { m_lock = std::make_unique<corvanel::platform::SingleInstance>(path); }
    std::unique_ptr<corvanel::platform::SingleInstance> takeInstanceLock() { return std::move(m_lock); }

    QLabel *lblWait = nullptr;
    QLabel *lblScanDrive = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void startReadingEarly();

    MusicLibrary &m_library;
    QString m_commandLine;
    int16_t m_screenJump = 0;
    QString m_updateFolder;
    bool m_searched = false;
    std::unique_ptr<corvanel::platform::SingleInstance> m_lock;
    std::function<corvanel::platform::DiskInventory()> m_inventory;
    std::function<void(const QString &)> m_onLoad;
    QPointer<frmLoadingDB> m_loading; // reading the database named on the command line
    QString m_loadingFile;
};

} // namespace corvanel::app
