// The extraction window: what it shows, and a copy as a user starts it.
#include "ExtractFixture.h"
#include "ExtractNames.h"
#include "RecordingDialogs.h"
#include "SettingsStore.h"
#include "SongExtractor.h"
#include "frmExtract.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace corvanel::platform;
using namespace corvanel::extract;

namespace {

class ExtractWindowTest : public ExtractFixture
{
protected:
    void SetUp() override
    {
        ExtractFixture::SetUp();
        setDialogs(&dialogs);
        saveSetting(QStringLiteral("Options"), QStringLiteral("ExtractDIR"), out.path());
    }
    void TearDown() override { setDialogs(nullptr); }

    // Presses "&Extract!" and waits until the window has closed itself.
    void extract(frmExtract &window)
    {
        window.show();
        QTest::mouseClick(window.cmdExtract, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
    }

    RecordingDialogs dialogs;
};

} // namespace

TEST_F(ExtractWindowTest, ShowsTheListTheFolderAndTheTemplate)
{
    const int a = addSong("1.mp3", "1", "One", 1);
    const int b = addSong("2.mp3", "2", "Two", 2, "B");
    frmExtract window(library);
    window.AddSongs({a, b, a});
    ASSERT_EQ(window.lstSongs->count(), 2);
    EXPECT_EQ(window.lstSongs->item(1)->text(), QStringLiteral("B - Two"));
    EXPECT_EQ(window.txtDir->text(), out.path());
    EXPECT_EQ(window.txtFormat->text(), kDefaultFormat);
    EXPECT_FALSE(window.fraExtract->isVisibleTo(&window));

    // Browse: a chosen folder replaces the text and is kept; a cancelled chooser changes nothing.
    dialogs.folderAnswers = {QStringLiteral("/music/here"), std::nullopt};
    window.cmdBrowse_Click();
    EXPECT_EQ(window.txtDir->text(), QStringLiteral("/music/here"));
    EXPECT_EQ(getSetting(QStringLiteral("Options"), QStringLiteral("ExtractDIR")), QStringLiteral("/music/here"));
    window.cmdBrowse_Click();
    EXPECT_EQ(window.txtDir->text(), QStringLiteral("/music/here"));

    // Remove takes every selected row.
    window.lstSongs->selectAll();
    window.cmdRemovePlayer_Click();
    EXPECT_EQ(window.lstSongs->count(), 0);
    EXPECT_TRUE(window.extractor().songs().empty());
}

TEST_F(ExtractWindowTest, ACopyEndsWithItsMessageAndStoresTheFolder)
{
    const int a = addSong("1.mp3", "1", "One", 1, "A", "X", "Pop");
    const int b = addSong("2.mp3", "2", "Two", 2, "A", "X", "Pop");
    {
        frmExtract window(library);
        window.AddSongs({a, b});
        extract(window);
        EXPECT_EQ(filesOut(), (QStringList{"Pop/A/X/01 - One.mp3", "Pop/A/X/02 - Two.mp3"}));
        EXPECT_EQ(window.shpProgress->width(), window.shpWhole->width());
    }
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, QStringLiteral("Extracted!"));
    EXPECT_EQ(dialogs.last().text, QStringLiteral("All the songs were extracted successfully!"));
    EXPECT_EQ(getSetting(QStringLiteral("Options"), QStringLiteral("ExtractDIR")), out.path() + QLatin1Char('/'));

    // A missing source ends it with the error.
    dialogs.clear();
    const int gone = addSong("gone.mp3", QByteArray(), "Gone");
    frmExtract failing(library);
    failing.AddSongs({gone});
    extract(failing);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, QStringLiteral("Error!"));
    EXPECT_EQ(dialogs.last().icon, MessageIcon::Critical);
    EXPECT_TRUE(dialogs.last().text.endsWith(QStringLiteral("Error 2: No such file or directory")));
}

TEST_F(ExtractWindowTest, ClosingDuringACopyStopsWithoutSuccess)
{
    std::vector<int32_t> songs;
    for (int i = 0; i < 30; ++i)
        songs.push_back(
            addSong(QStringLiteral("%1.mp3").arg(i), QByteArray(4 << 20, 'b'), QStringLiteral("Big %1").arg(i), i));
    frmExtract window(library);
    window.AddSongs(songs);
    window.show();
    QObject::connect(&window.extractor(), &SongExtractor::progress, &window, [&] { window.close(); });
    QTest::mouseClick(window.cmdExtract, Qt::LeftButton);
    EXPECT_TRUE(window.fraExtract->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 10000));
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_LT(filesOut().size(), 30);
    for (const QString &file : filesOut())
        EXPECT_FALSE(QFileInfo(file).fileName().startsWith(QLatin1Char('.'))) << qPrintable(file);
}

TEST_F(ExtractWindowTest, AFolderOnTheIpodIsRefusedAndTheWindowStays)
{
    const int a = addSong("1.mp3", "1", "One", 1);
    frmExtract window(library);
    window.AddSongs({a});
    window.txtDir->setText(ipod.filePath(QStringLiteral("iPod_Control")));
    window.show();
    QTest::mouseClick(window.cmdExtract, Qt::LeftButton);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().icon, MessageIcon::Critical);
    EXPECT_TRUE(dialogs.last().text.startsWith(QStringLiteral("Songs cannot be extracted into the iPod itself")));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.fraExtract->isVisible());
    EXPECT_TRUE(window.cmdExtract->isEnabled());
    EXPECT_EQ(QDir(ipod.filePath(QStringLiteral("iPod_Control"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Music"});
}
