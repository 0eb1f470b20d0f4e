#include "frmInit.h"

#include "Dialogs.h"
#include "MusicLibrary.h"
#include "frmLoadingDB.h"
#include "mdl.h"
#include "mdliPodDetect.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;

namespace {
QString withoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString databaseOf(const QString &drive)
{
    return corvanel::platform::resolvePathIgnoringCase(drive, QStringLiteral("iPod_Control/iTunes/iTunesDB"))
        .value_or(drive + QStringLiteral("/iPod_Control/iTunes/iTunesDB"));
}

const QString kNoIpodText = QStringLiteral(
    "No iPod was found on your computer. This program cannot be run as your iPod has not been recognised. "
    "Make sure that your iPod is mounted as a drive before running this application!\n"
    "If you do have an iPod connected, and it is mounted, then you can run Corvanel using the command line "
    "argument 'folder' (without the apostrophes) where folder is the folder your iPod is mounted on, for example "
    "/media/you/IPOD.");
} // namespace

DatabaseSource decideDatabaseSource(const QString &commandLine)
{
    if (commandLine.contains(QLatin1String("itunesdb"), Qt::CaseInsensitive) && QFileInfo(commandLine).isFile()) {
        const QString file = QFileInfo(commandLine).absoluteFilePath();
        return {DatabaseSource::Kind::DatabaseFile, corvanel::platform::iPodDriveFromDatabasePath(file), file};
    }
    if (!commandLine.trimmed().isEmpty() && frmInit::IsIpod(commandLine)) {
        const QString drive = withoutTrailingSlash(QFileInfo(commandLine).absoluteFilePath());
        return {DatabaseSource::Kind::IpodFolder, drive, databaseOf(drive)};
    }
    return {};
}

bool wantsScreenJump(const QString &commandLine)
{
    return commandLine.contains(QLatin1String("screenjump"), Qt::CaseInsensitive);
}

frmInit::frmInit(MusicLibrary &library, QString commandLine, QWidget *parent)
    : SkinnedWindow(QStringLiteral("Find Your iPod"), parent), m_library(library),
      m_commandLine(std::move(commandLine)), m_updateFolder(mdl::programFolder()),
      m_lock(std::make_unique<corvanel::platform::SingleInstance>()),
      m_inventory([] { return corvanel::platform::DiskInventory(); })
{
    setObjectName(QStringLiteral("frmInit"));
    lblCaption->setText(QStringLiteral("Locating iPod..."));
    lblWait = addLine(QStringLiteral("lblWait"), QStringLiteral("Please wait... Finding iPod Drive..."));
    lblScanDrive = addLine(QStringLiteral("lblScanDrive"), QStringLiteral("Scanning Drives..."));
}

frmInit::~frmInit()
{
    // A read started early but never handed over (the window closed first) ends here.
    delete m_loading;
}

bool frmInit::IsIpod(const QString &drive)
{
    return corvanel::platform::IsIpod(drive);
}

bool frmInit::start()
{
    if (!m_lock->tryAcquire()) {
        close();
        return false;
    }
    if (mdl::updatePending(m_updateFolder) &&
        corvanel::platform::dialogs().askYesNo(
            QStringLiteral("Update to latest?"),
            QStringLiteral(
                "An update for Corvanel has been downloaded. Would you like to update to the latest version?"))) {
        mdl::RunUpdater(true, nullptr, m_updateFolder);
        close();
        return false;
    }
    if (wantsScreenJump(m_commandLine))
        m_screenJump = 500;
    PaintBack();
    startReadingEarly();
    return true;
}

void frmInit::startReadingEarly()
{
    // Only a database the command line names is read early: a search shows this window first,
    // and tests take the hand-over themselves.
    if (m_onLoad)
        return;
    const DatabaseSource source = decideDatabaseSource(m_commandLine);
    if (source.kind == DatabaseSource::Kind::Scan)
        return;
    m_library.iPodDrive = source.iPodDrive;
    m_loading = new frmLoadingDB(m_library);
    m_loading->setAttribute(Qt::WA_DeleteOnClose);
    m_loadingFile = source.DBFile;
    m_loading->startReading(source.DBFile);
}

void frmInit::showEvent(QShowEvent *event)
{
    SkinnedWindow::showEvent(event);
    if (m_searched)
        return;
    m_searched = true;
    // Let the window draw itself before the search starts.
    QTimer::singleShot(0, this, &frmInit::StartFindiPod);
}

void frmInit::StartFindiPod()
{
    if (m_loading) {
        LoadDBFile(m_loadingFile);
        return;
    }
    const DatabaseSource source = decideDatabaseSource(m_commandLine);
    if (source.kind != DatabaseSource::Kind::Scan) {
        m_library.iPodDrive = source.iPodDrive;
        LoadDBFile(source.DBFile);
        return;
    }
    if (StartScan())
        LoadDBFile(databaseOf(m_library.iPodDrive));
}

bool frmInit::StartScan()
{
    const QString found = corvanel::platform::FindiPod(m_inventory());
    if (found.left(2).compare(QLatin1String("no"), Qt::CaseInsensitive) == 0) {
        lblScanDrive->setText(QStringLiteral("Scanning Drive : None!"));
        corvanel::platform::dialogs().inform(QStringLiteral("No iPod Found!"), kNoIpodText);
        close();
        return false;
    }
    m_library.iPodDrive = found;
    return true;
}

void frmInit::LoadDBFile(const QString &File)
{
    if (m_onLoad) {
        m_onLoad(File);
        close();
        return;
    }
    frmLoadingDB *loading = m_loading ? m_loading.data() : new frmLoadingDB(m_library);
    m_loading = nullptr;
    loading->setScreenJump(m_screenJump);
    loading->setAttribute(Qt::WA_DeleteOnClose);
    loading->show();
    close();
    loading->LoadDB(File);
}

} // namespace corvanel::app
