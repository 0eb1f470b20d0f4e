#include "frmUpdater.h"

#include "CaptionBar.h"
#include "SkinStyle.h"

#include "DataConnection.h"
#include "Dialogs.h"
#include "SkinFrame.h"
#include "SystemProxy.h"
#include "UpdateListing.h"
#include "frmBack.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>

namespace corvanel::update {

using namespace corvanel::platform;
using namespace corvanel::skin;
namespace {

// The listing is a few lines; anything far larger is not a listing.
constexpr qint64 kMaxListingBytes = 16 * 1024 * 1024;
constexpr int kProgressSteps = 1000;

QPointer<frmUpdater> &openWindow()
{
    static QPointer<frmUpdater> window;
    return window;
}

bool anyPendingReplacement(const QString &folder)
{
    return !QDir(folder).entryList({QStringLiteral("*.new")}, QDir::Files | QDir::Hidden).isEmpty();
}

// The mode a file created now gets: 0666 less the umask.
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:"))
                continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok)
                return 0666 & ~static_cast<mode_t>(mask);
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// The private file is created for its owner alone; under its listed name it takes the mode
// of the file it replaces (so the programs stay runnable) or that of any new file.
bool giveListedMode(const QString &partial, const QString &target)
{
    struct stat info = {};
    const mode_t mode =
        ::stat(QFile::encodeName(target).constData(), &info) == 0 ? (info.st_mode & 0777) : newFileMode();
    return ::chmod(QFile::encodeName(partial).constData(), mode) == 0;
}

} // namespace

frmUpdater::frmUpdater(QWidget *owner, UpdaterSetup setup)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), m_setup(std::move(setup))
{
    setObjectName(QStringLiteral("frmUpdater"));
    setWindowTitle(QStringLiteral("Updater"));
    if (m_setup.programFolder.isEmpty())
        m_setup.programFolder = QCoreApplication::applicationDirPath();
    if (m_setup.listingAddress.isEmpty())
        m_setup.listingAddress = listingAddress();
    m_managed = isManagedInstall(m_setup.programFolder);
    setFixedSize(380, 190);
    skin::applyStyle(this);

    setWindowIcon(frmBack::appIcon());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, skin::CaptionBar::kHeight + 6, 12, 12);
    layout->setSpacing(6);
    auto *caption = new skin::CaptionBar(this, QStringLiteral("Corvanel"));
    lblCaption = caption->lblCaption;
    imgCaption = caption->imgCaption;
    imgClose = caption->imgClose;
    connect(caption, &skin::CaptionBar::closeRequested, this, &QWidget::close);
    buildInfo(layout);

    RemoteFile = new DataConnection(this);
    RemoteFile->setObjectName(QStringLiteral("RemoteFile"));
    // Progress is painted at once; the outcome is handled once the client has returned, so
    // that message boxes never run inside the client's own socket handling.
    connect(RemoteFile, &DataConnection::BytesReceived, this, &frmUpdater::RemoteFile_BytesReceived);
    connect(RemoteFile, &DataConnection::Disconnected, this, &frmUpdater::RemoteFile_Disconnected,
            Qt::QueuedConnection);
    connect(RemoteFile, &DataConnection::DownloadFailed, this, &frmUpdater::RemoteFile_DownloadFailed,
            Qt::QueuedConnection);
}

void frmUpdater::buildInfo(QVBoxLayout *layout)
{
    auto *body = new QHBoxLayout;
    imgPod = new QLabel(this);
    imgPod->setObjectName(QStringLiteral("imgPod"));
    imgPod->setFixedSize(40, 64);
    imgPod->setStyleSheet(QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #f4f6f8,"
                                         " stop:1 #b8bec6); border-radius: 6px; border: 1px solid #20242a;"));
    fraInfo = new QGroupBox(QStringLiteral("Update Info"), this);
    fraInfo->setObjectName(QStringLiteral("fraInfo"));
    auto *info = new QVBoxLayout(fraInfo);
    lblUpdate = new QLabel(QStringLiteral("Checking for update..."), fraInfo);
    lblUpdate->setObjectName(QStringLiteral("lblUpdate"));
    lblstatus = new QLabel(QStringLiteral("Initializing download manager..."), fraInfo);
    lblstatus->setObjectName(QStringLiteral("lblstatus"));
    PicPosition = new QFrame(fraInfo);
    PicPosition->setObjectName(QStringLiteral("PicPosition"));
    PicPosition->setFixedHeight(14);
    auto *track = new QHBoxLayout(PicPosition);
    track->setContentsMargins(1, 1, 1, 1);
    shpProgress = new QProgressBar(PicPosition);
    shpProgress->setObjectName(QStringLiteral("shpProgress"));
    shpProgress->setRange(0, kProgressSteps);
    shpProgress->setValue(0);
    shpProgress->setTextVisible(false);
    track->addWidget(shpProgress);
    info->addWidget(lblUpdate);
    info->addWidget(lblstatus);
    info->addWidget(PicPosition);
    body->addWidget(imgPod, 0, Qt::AlignTop);
    body->addWidget(fraInfo, 1);
    layout->addLayout(body);
}

frmUpdater::~frmUpdater()
{
    m_closing = true;
    if (RemoteFile)
        RemoteFile->abortSilently();
    discardPartial();
}

void frmUpdater::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    StartWinsock();
    // The window paints first; the check starts from the event loop.
    QMetaObject::invokeMethod(this, &frmUpdater::StartUpdater, Qt::QueuedConnection);
}

void frmUpdater::StartUpdater()
{
    if (m_closing || m_stage != Stage::Idle)
        return;
    lblstatus->setText(QStringLiteral("Checking files to download..."));
    if (m_setup.localVersion >= 0) {
        m_localVersion = m_setup.localVersion;
    } else {
        const std::optional<int> own = localVersionNumber();
        if (!own) {
            WasError();
            return;
        }
        m_localVersion = *own;
    }
    m_stage = Stage::Listing;
    DownloadURL(m_setup.listingAddress, listingCopy());
}

QString frmUpdater::listingCopy() const
{
    if (!m_managed)
        return m_setup.programFolder + QStringLiteral("/version");
    // A package's folder is not the user's to write in.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    return cache + QStringLiteral("/version");
}

void frmUpdater::DownloadURL(const QString &URL, const QString &DLTo)
{
    RemoteFile->abortSilently();
    discardPartial();
    shpProgress->setValue(0);
    // The download is written under a private name and takes its real name only when it is
    // complete, so that a broken file never waits under a name the Updater would install.
    QTemporaryFile partial(QFileInfo(DLTo).absolutePath() + QStringLiteral("/.corvanel-download-XXXXXX"));
    partial.setAutoRemove(false);
    if (!partial.open()) {
        RemoteFile_DownloadFailed(static_cast<int>(DownloadFailure::CreateFile), RemoteFile->id());
        return;
    }
    m_partialFile = partial.fileName();
    m_target = DLTo;
    partial.close();

    // The proxy the desktop's environment names, as curl would use it.
    const std::optional<HttpAddress> address = parseHttpAddress(URL);
    const auto proxy = systemProxyFor(address ? address->host : QString(), QProcessEnvironment::systemEnvironment());
    if (!proxy) {
        qWarning("corvanel: %s", qPrintable(proxy.error()));
        RemoteFile_DownloadFailed(static_cast<int>(DownloadFailure::ConnectProxy), RemoteFile->id());
        return;
    }
    RemoteFile->setDownloadType(BodyTarget::File);
    RemoteFile->setFilename(m_partialFile);
    RemoteFile->setUseTempFile(false);
    applyProxy(*RemoteFile, *proxy);
    RemoteFile->setAutoRedirect(true);
    RemoteFile->setAllowCache(true);
    RemoteFile->setUseResume(false);
    RemoteFile->setPacketSize(10000);
    RemoteFile->setMaxDownload(-1);
    RemoteFile->FetchURLString(URL);
}

void frmUpdater::RemoteFile_BytesReceived(qint64 count, int)
{
    if (m_closing)
        return;
    const qint64 length = RemoteFile->DownloadLength();
    if (length < 1) {
        shpProgress->setValue(0);
        return;
    }
    const double fraction = std::clamp(static_cast<double>(count) / static_cast<double>(length), 0.0, 1.0);
    lblUpdate->setText(
        QStringLiteral("Downloaded %1% of file %2").arg(static_cast<qint64>(fraction * 100.0)).arg(m_fileCounter));
    shpProgress->setValue(static_cast<int>(fraction * kProgressSteps));
}

void frmUpdater::RemoteFile_Disconnected(int)
{
    if (m_closing || m_failed || m_partialFile.isEmpty())
        return;
    // Complete: the file takes its listed name, replacing an earlier one.
    const QByteArray from = QFile::encodeName(m_partialFile);
    const QByteArray to = QFile::encodeName(m_target);
    if (!giveListedMode(m_partialFile, m_target) || std::rename(from.constData(), to.constData()) != 0) {
        m_failed = true;
        discardPartial();
        WasError();
        return;
    }
    m_partialFile.clear();
    if (m_stage == Stage::Listing)
        ProcessFile();
    else if (m_stage == Stage::Files)
        processNextLine();
}

void frmUpdater::RemoteFile_DownloadFailed(int Why, int)
{
    if (m_closing || m_failed || m_stage == Stage::Done)
        return;
    m_failed = true;
    RemoteFile->abortSilently();
    // Only the private partial file holds anything of this download; the file under the
    // listed name, if there is one, was there before and stays as it was.
    discardPartial();
    corvanel::platform::dialogs().message({QStringLiteral("Corvanel"), DataConnection::FailureToString(Why),
                                           corvanel::platform::MessageIcon::None,
                                           corvanel::platform::MessageButtons::Ok});
    WasError();
}

void frmUpdater::ProcessFile()
{
    m_stage = Stage::Files;
    lblstatus->setText(QStringLiteral("Downloading update..."));
    lblUpdate->setText(QStringLiteral("Please wait..."));
    QFile listing(listingCopy());
    if (!listing.open(QIODevice::ReadOnly) || listing.size() > kMaxListingBytes) {
        WasError();
        return;
    }
    m_lines = splitListing(listing.readAll());
    m_nextLine = 0;
    processNextLine();
}

void frmUpdater::processNextLine()
{
    // Lines are handled strictly one after another: a file is complete before the next
    // line is read.
    while (!m_closing && m_nextLine < m_lines.size()) {
        const ListingLine line = parseListingLine(m_lines.at(m_nextLine++), m_localVersion);
        switch (line.kind) {
        case ListingLineKind::Comment:
        case ListingLineKind::NotNewer:
            continue;
        case ListingLineKind::Error:
            WasError();
            return;
        case ListingLineKind::Download:
            if (m_managed) {
                ++m_newerLines;
                continue;
            }
            ++m_fileCounter;
            DownloadURL(line.address, m_setup.programFolder + QLatin1Char('/') + line.fileName);
            return;
        }
    }
    if (!m_closing)
        finishCheck();
}

void frmUpdater::finishCheck()
{
    m_stage = Stage::Done;
    if (m_managed && m_newerLines > 0) {
        corvanel::platform::dialogs().inform(
            QStringLiteral("Update Available"),
            QStringLiteral("A newer version of Corvanel is available. This copy was installed by your system's "
                           "package manager and does not replace its own files: please update it through the "
                           "package manager."));
    } else if (!m_managed && anyPendingReplacement(m_setup.programFolder)) {
        const bool yes = corvanel::platform::dialogs().askYesNo(
            QStringLiteral("Update Now?"),
            QStringLiteral("The updater has finished downloading all updates for your version of Corvanel. The "
                           "program needs to restart to update to the new version. Would you like to update now?"));
        if (yes && m_setup.runUpdater) {
            const QPointer<frmUpdater> self(this);
            m_setup.runUpdater(false);
            if (!self)
                return;
        }
    } else {
        corvanel::platform::dialogs().inform(QStringLiteral("No Updates!"),
                                             QStringLiteral("There are no updates for your version of Corvanel!"));
    }
    endCheck();
}

void frmUpdater::WasError()
{
    m_failed = true;
    m_stage = Stage::Done;
    corvanel::platform::dialogs().inform(
        QStringLiteral("Error in download!"),
        QStringLiteral("There was an error while trying to update Corvanel. Please go to the Halvetra website, using "
                       "the link in the Help Menu, and try getting the latest version from there!"));
    endCheck();
}

void frmUpdater::endCheck()
{
    m_stage = Stage::Done;
    const QPointer<frmUpdater> self(this);
    emit finished();
    if (self)
        close();
}

void frmUpdater::discardPartial()
{
    if (!m_partialFile.isEmpty()) {
        QFile::remove(m_partialFile);
        m_partialFile.clear();
    }
}

void frmUpdater::closeEvent(QCloseEvent *event)
{
    const bool wasRunning = m_stage != Stage::Done;
    m_closing = true;
    RemoteFile->abortSilently();
    discardPartial();
    if (wasRunning && m_started) {
        m_stage = Stage::Done;
        emit finished();
    }
    event->accept();
}

void frmUpdater::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == imgPod)
        close();
}

void frmUpdater::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSkinnedBackground(painter, *this, m_tile);
}

frmUpdater *openUpdateWindow(QWidget *mainWindow, std::function<void(bool FromStartup)> runUpdater,
                             const QString &programFolder)
{
    QPointer<frmUpdater> &window = openWindow();
    if (window) {
        window->raise();
        window->activateWindow();
        return window;
    }
    UpdaterSetup setup;
    setup.programFolder = programFolder;
    setup.runUpdater = std::move(runUpdater);
    window = new frmUpdater(mainWindow, std::move(setup));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

frmUpdater *updateWindow()
{
    return openWindow();
}

} // namespace corvanel::update
