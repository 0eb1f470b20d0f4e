#include "frmLoadingDB.h"

#include "Dialogs.h"
#include "EmbeddedPlayer.h"
#include "MusicLibrary.h"
#include "PlayerController.h"
#include "ReadyNotice.h"
#include "frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;

frmLoadingDB::frmLoadingDB(MusicLibrary &library, QWidget *parent)
    : SkinnedWindow(QStringLiteral("Loading database from iPod..."), parent), m_library(library),
      m_task(new ScanTask(this))
{
    setObjectName(QStringLiteral("frmLoadingDB"));
    lblCaption->setText(QStringLiteral("Loading Database from iPod"));
    lbl = addLine(QStringLiteral("lbl"), QStringLiteral("Please wait while the database from your iPod is read..."));
    addProgressRow();
    connect(m_task, &ScanTask::statusChanged, lbl, &QLabel::setText);
    connect(m_task, &ScanTask::progressed, this, [this](qint64 done, qint64 total) {
        setProgressShown(true);
        barProgress->setRange(0, static_cast<int>(std::min<qint64>(total, INT_MAX)));
        barProgress->setValue(static_cast<int>(std::min<qint64>(done, INT_MAX)));
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        m_task->cancel();
        cmdCancel->setEnabled(false);
    });
}

frmLoadingDB::~frmLoadingDB()
{
    // The worker writes this window's members: it must be over before they go.
    delete m_task;
}

void frmLoadingDB::startReading(const QString &DBFile)
{
    if (m_started)
        return;
    m_started = true;
    // The songs' files are measured once the main window is up (see frmMain).
    m_task->start([this, DBFile](const ScanControl &control) {
        // The browser's catalog is worked out beside the rest of the load.
        m_report = loadLibraryFile(DBFile, m_library, control, {.sizes = SongFileSizes::Later, .alongside = [this] {
                                                                    m_catalog =
                                                                        std::make_unique<SongCatalog>(m_library, true);
                                                                }});
        m_offerTags = !m_report.cancelled && tagScanCanHelp(m_library, m_report);
        if (m_offerTags)
            m_catalog.reset();
        else if (!m_catalog)
            m_catalog = std::make_unique<SongCatalog>(m_library, true);
    });
    connect(
        m_task, &ScanTask::finished, this,
        [this] {
            m_read = true;
            if (m_shown)
                databaseRead();
        },
        Qt::SingleShotConnection);
}

void frmLoadingDB::LoadDB(const QString &DBFile)
{
    show();
    PaintBack();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_shown = true;
    startReading(DBFile);
    // A read that was started early may be over already; the rest follows from the event loop.
    if (m_read)
        QMetaObject::invokeMethod(this, &frmLoadingDB::databaseRead, Qt::QueuedConnection);
}

void frmLoadingDB::databaseRead()
{
    QGuiApplication::restoreOverrideCursor();
    if (m_offerTags) {
        m_waiting = true;
        const bool yes = corvanel::platform::dialogs().askYesNo(QString::fromUtf16(ReadTagsTitle),
                                                                QString::fromUtf16(ReadTagsQuestion));
        m_waiting = false;
        if (yes) {
            LoadTags();
            return;
        }
        m_catalog = std::make_unique<SongCatalog>(m_library, true);
    }
    loadFinished();
}

void frmLoadingDB::LoadTags()
{
    show();
    PaintBack();
    lblCaption->setText(QStringLiteral("Reading Songs from iPod"));
    setProgressShown(true);
    m_task->start([this](const ScanControl &control) {
        m_report = scanLibraryFromTags(m_library, control);
        m_catalog = std::make_unique<SongCatalog>(m_library);
    });
    connect(m_task, &ScanTask::finished, this, &frmLoadingDB::loadFinished, Qt::SingleShotConnection);
}

void frmLoadingDB::loadFinished()
{
    setProgressShown(false);
    reportLoadProblems(m_report);
    if (m_onLoaded) {
        m_onLoaded();
    } else {
        auto *main = new frmMain(m_library, std::move(m_catalog), nullptr, [this](const QString &text) {
            lbl->setText(text);
            lbl->repaint();
        });
        main->player().controller().ScreenJump = m_screenJump;
        main->setAttribute(Qt::WA_DeleteOnClose);
        announceReadyWhenShown(main);
        main->show();
    }
    emit loaded();
    close();
}

void reportLoadProblems(const LoadReport &report)
{
    for (std::size_t i = 0; i < report.problems.size(); ++i)
        corvanel::platform::dialogs().inform(QStringLiteral("Error!"), QStringLiteral("Error, continuing!"));
    if (report.unknownTags > 0)
        corvanel::platform::dialogs().critical(QStringLiteral("Error with iTunesDB"), unknownTagWarningText());
}

} // namespace corvanel::app
