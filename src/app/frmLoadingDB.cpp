#include "frmLoadingDB.h"

#include "Dialogs.h"
#include "EmbeddedPlayer.h"
#include "MusicLibrary.h"
#include "PlayerController.h"
#include "frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;

frmLoadingDB::frmLoadingDB(MusicLibrary &library, QWidget *parent)
    : SkinnedWindow(QStringLiteral("Loading database from iPod..."), parent), m_library(library)
{
    setObjectName(QStringLiteral("frmLoadingDB"));
    lblCaption->setText(QStringLiteral("Loading Database from iPod"));
    lbl = addLine(QStringLiteral("lbl"), QStringLiteral("Please wait while the database from your iPod is read..."));
}

frmLoadingDB::~frmLoadingDB()
{
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

void frmLoadingDB::LoadDB(const QString &DBFile)
{
    show();
    PaintBack();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QPointer<QLabel> status(lbl);
    m_worker = QThread::create([this, DBFile, status] {
        m_report = ParseiTunesDB(DBFile, m_library, [status](const QString &text) {
            QMetaObject::invokeMethod(qApp, [status, text] {
                if (status)
                    status->setText(text);
            });
        });
        m_catalog = std::make_unique<SongCatalog>(m_library);
    });
    connect(m_worker, &QThread::finished, this, &frmLoadingDB::loadFinished);
    m_worker->start();
}

void frmLoadingDB::loadFinished()
{
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    QGuiApplication::restoreOverrideCursor();
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
