// The main window's checks of the library: duplicates, missing files, and the song files
// that the database does not know.
#include "frmMain.h"

#include "Dialogs.h"
#include "LibraryChecks.h"
#include "ScanTask.h"
#include "SongSizePass.h"
#include "TagScan.h"
#include "WaitCursor.h"
#include "frmCheckup.h"
#include "frmLoadingDB.h"
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

void frmMain::mnuCheckup_Click()
{
    if (m_checkup) {
        m_checkup->raise();
        m_checkup->activateWindow();
        return;
    }
    m_checkup = new frmCheckup(m_library.iPodDrive, this);
    m_checkup->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_checkup, &frmCheckup::remedyChosen, this, &frmMain::checkupRemedy);
    m_checkup->start();
}

frmCheckup *frmMain::checkupWindow() const
{
    return m_checkup;
}

void frmMain::checkupRemedy(corvanel::checkup::Remedy remedy)
{
    using corvanel::checkup::Remedy;
    switch (remedy) {
    case Remedy::ReadTags:
        readLibraryFromTags();
        break;
    case Remedy::ShowOrphans:
        ScanForNotInDatabase();
        break;
    case Remedy::CheckMissing:
        ScanForMissing();
        break;
    case Remedy::None:
        break;
    }
}

void frmMain::readLibraryFromTags()
{
    // Both checks read the library on their threads; it may not change under them.
    if (m_readingTags || m_missingCheck->running() || m_notInDatabaseTask->running())
        return;
    m_readingTags = true;
    auto fresh = std::make_shared<MusicLibrary>();
    fresh->iPodDrive = m_library.iPodDrive;
    auto *loading = new frmLoadingDB(*fresh);
    loading->setAttribute(Qt::WA_DeleteOnClose);
    loading->setOnLoaded([self = QPointer<frmMain>(this), loading, fresh] {
        if (!self)
            return;
        self->m_readingTags = false;
        if (!loading->report().cancelled)
            self->replaceLibrary(std::move(*fresh));
    });
    loading->LoadTags();
}

void frmMain::replaceLibrary(MusicLibrary fresh)
{
    const WaitCursor wait;
    // What is still being worked out for the songs read before is of those songs: it ends first.
    delete m_sizes;
    m_sizes = nullptr;
    delete m_searchTexts;
    m_searchTexts = nullptr;
    m_library = std::move(fresh);
    // The playlist summaries point at the library they were made over.
    m_library.Library = std::make_unique<clsLibrary>(m_library);
    (void)m_library.Library->FillMiniDatabase();
    m_catalog->rebuild();
    m_browser->load();
}

} // namespace corvanel::app
