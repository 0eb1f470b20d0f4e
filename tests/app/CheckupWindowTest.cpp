// Extras → "iPod Check-up": the findings worst first, and each button running what it offers
// through the main window's own checks and its reading from tags.
#include "WindowFixture.h"

#include "DemoIpod.h"
#include "IpodBuilder.h"
#include "LibrarySource.h"
#include "frmCheckup.h"

#include <QFrame>
#include <QScrollArea>

using namespace corvanel::checkup;

namespace {

class CheckupWindowTest : public WindowFixture
{
protected:
    frmCheckup &checkUp()
    {
        window->mnuCheckup_Click();
        frmCheckup *checkup = window->checkupWindow();
        EXPECT_NE(checkup, nullptr);
        for (QDeadlineTimer deadline(60000); checkup->running() && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
        EXPECT_FALSE(checkup->running());
        return *checkup;
    }
    // The finding codes in the order the window lists them.
    static QStringList shownCodes(const frmCheckup &checkup)
    {
        QStringList codes;
        for (const QFrame *row : checkup.lstFindings->widget()->findChildren<QFrame *>(Qt::FindDirectChildrenOnly))
            codes << row->objectName().mid(QStringLiteral("finding_").size());
        return codes;
    }
    void waitForBoxes(std::size_t count)
    {
        for (QDeadlineTimer deadline(60000); dialogs.count() < count && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

TEST_F(CheckupWindowTest, ShowsFindingsWorstFirstAndEachButtonRunsItsCheck)
{
    open({{1, "Here", "A", "B", "Rock"}, {2, "Gone", "A", "B", "Rock"}});
    frmCheckup &checkup = checkUp();
    CheckupReport report;
    report.ipod = QStringLiteral("/nonexistent-ipod");
    report.findings = {
        {Severity::Info, "space", "Plenty of room.", {}, {}, Remedy::None},
        {Severity::Warning, "missing-files", "Two songs have no file.", "Look.", {}, Remedy::CheckMissing},
        {Severity::Error, "database-missing", "No database.", "Sync.", {}, Remedy::None}};
    sortWorstFirst(report.findings);
    checkup.showReport(report);
    EXPECT_EQ(shownCodes(checkup), QStringList({"database-missing", "missing-files", "space"}));
    ASSERT_EQ(checkup.remedyButtons().size(), 1u);
    EXPECT_EQ(checkup.remedyButtons()[0]->text(), "Check for missing files");

    checkup.remedyButtons()[0]->click();
    waitForBoxes(1);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Missing Files!");
    EXPECT_EQ(dialogs.last().text.count(QStringLiteral("\r\n")), 2);
}

// An iPod whose database is gone: the check-up says so first and offers the songs' tags, whose
// reading fills the browser; the files it does not list open the existing report.
TEST_F(CheckupWindowTest, DatabaseGoneOffersTheTagsAndTheUnlistedFiles)
{
    QTemporaryDir dir;
    const QString ipod = dir.filePath(QStringLiteral("IPOD"));
    ASSERT_TRUE(copyTree(demoIpod(), ipod));
    ASSERT_TRUE(mkipod::damageDatabase(ipod, mkipod::DatabaseDamage::Removed));
    auto empty = std::make_unique<MusicLibrary>();
    empty->iPodDrive = ipod;
    corvanel::itunesdb::loadIpodLibrary(*empty);
    frmMain &main = open(std::move(empty));
    ASSERT_EQ(main.songModel().rowCount(), 0);

    frmCheckup &checkup = checkUp();
    const QStringList codes = shownCodes(checkup);
    ASSERT_FALSE(codes.isEmpty());
    EXPECT_EQ(codes.first(), "database-missing");
    QPushButton *tags = checkup.findChild<QPushButton *>(QStringLiteral("cmdReadTags"));
    QPushButton *orphans = checkup.findChild<QPushButton *>(QStringLiteral("cmdShowOrphans"));
    ASSERT_NE(tags, nullptr);
    ASSERT_NE(orphans, nullptr);

    orphans->click();
    waitForBoxes(1);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Songs Not in the Database");

    tags->click();
    for (QDeadlineTimer deadline(60000); main.readingTags() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(main.readingTags());
    EXPECT_GT(main.songModel().rowCount(), 0);
    EXPECT_EQ(main.library().SongCount, main.songModel().rowCount());
    // The reading window closed itself; let it go before the test ends.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
