// The main window's checks of the library: duplicates, missing files, and the song files
// that the database does not know.
#include "frmMain.h"

#include "Dialogs.h"
#include "LibraryChecks.h"
#include "ScanTask.h"
#include "TagScan.h"
#include "WaitCursor.h"
#include "frmScanProgress.h"

#include <QGuiApplication>

namespace corvanel::app {

using namespace corvanel::itunesdb;
using namespace corvanel::platform;

void frmMain::ScanForDuplicates()
{
    CheckResult result;
    {
        const WaitCursor wait;
        result = findDuplicates(m_library);
    }
    corvanel::platform::dialogs().message(duplicatesMessage(result));
}

void frmMain::ScanForMissing()
{
    if (m_notInDatabaseTask->running() || !m_missingCheck || !m_missingCheck->start(m_library))
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void frmMain::missingCheckFinished(const CheckResult &result)
{
    QGuiApplication::restoreOverrideCursor();
    corvanel::platform::dialogs().message(missingMessage(result));
}

void frmMain::ScanForNotInDatabase()
{
    // The missing-file check reads the library on its thread; adding songs must wait for it.
    if (m_missingCheck->running() || m_notInDatabaseTask->running())
        return;
    auto result = std::make_shared<OrphanScan>();
    auto *progress =
        new frmScanProgress(QStringLiteral("Check for Songs Not in the Database"),
                            QStringLiteral("Checking for Songs Not in the Database"), *m_notInDatabaseTask, this);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->show();
    m_notInDatabaseTask->start(
        [this, result](const ScanControl &control) { *result = findOrphanedSongs(m_library, control); });
    connect(
        m_notInDatabaseTask, &ScanTask::finished, this,
        [this, result, progress] {
            progress->close();
            notInDatabaseCheckFinished(std::move(*result));
        },
        Qt::SingleShotConnection);
}

void frmMain::notInDatabaseCheckFinished(OrphanScan result)
{
    if (result.cancelled)
        return;
    if (dialogs().message(notInDatabaseMessage(result)) == MessageResult::Action)
        addNotInDatabaseSource(std::move(result.songs));
}

void frmMain::addNotInDatabaseSource(std::vector<Song> songs)
{
    if (m_missingCheck->running())
        return;
    const WaitCursor wait;
    addNotInDatabase(m_library, std::move(songs));
    m_catalog->extend();
    m_browser->load();
}

} // namespace corvanel::app
