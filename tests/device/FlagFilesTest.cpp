// The firmware's flag files: which markers the dialog finds, and what Apply, OK, Reset and
// Cancel leave in the iPod's Device folder.
#include "FlagFiles.h"
#include "DeviceFixture.h"
#include "frmiPodHacks.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace corvanel::device;

namespace {

class FlagFilesTest : public DeviceFixture
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(device())); }

    void open(frmiPodHacks &window)
    {
        QSignalSpy loaded(&window, &frmiPodHacks::loadFinished);
        window.Form_Load();
        ASSERT_TRUE(loaded.wait(10000));
        ASSERT_TRUE(window.isVisible());
    }
    // Presses a button that works on the files and waits for the work to end.
    static void press(frmiPodHacks &window, QPushButton *button)
    {
        QSignalSpy changed(&window, &frmiPodHacks::filesChanged);
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(changed.wait(10000));
    }
    static std::vector<bool> boxes(const frmiPodHacks &w)
    {
        return {w.chkVolt->isChecked(), w.chkSleep->isChecked(), w.chkCache->isChecked()};
    }
};

} // namespace

TEST_F(FlagFilesTest, OpeningTicksOnlyTheMarkersPresent)
{
    ASSERT_TRUE(write(device("_short_deepsleep"), QByteArray()));
    ASSERT_TRUE(write(device("_show_voltage.txt"), QByteArray())); // a staging file is no marker
    frmiPodHacks window(ipod.path());
    open(window);
    EXPECT_EQ(boxes(window), (std::vector<bool>{false, true, false}));
}

TEST_F(FlagFilesTest, ApplyLeavesExactlyTheTickedMarkers)
{
    ASSERT_TRUE(write(device("Preferences"), "x"));
    frmiPodHacks window(ipod.path());
    open(window);
    QTest::mouseClick(window.Label1, Qt::LeftButton);
    ASSERT_TRUE(window.chkVolt->isChecked());
    press(window, window.cmdApply);
    EXPECT_TRUE(window.isVisible()) << "Apply keeps the dialog open";
    EXPECT_EQ(deviceFiles(), (QStringList{"Preferences", "_show_voltage"}));
    EXPECT_TRUE(read(device("_show_voltage")).isEmpty());

    // Applying again with the marker there already leaves no staging file behind.
    window.chkCache->setChecked(true);
    press(window, window.cmdApply);
    EXPECT_EQ(deviceFiles(), (QStringList{"Preferences", "_disable_cache", "_show_voltage"}));
}

TEST_F(FlagFilesTest, OKDeletesAClearedMarkerAndItsStagingFileAndCloses)
{
    for (const char *name : {"_show_voltage", "_short_deepsleep", "_short_deepsleep.txt"})
        ASSERT_TRUE(write(device(name), QByteArray()));
    frmiPodHacks window(ipod.path());
    open(window);
    QTest::mouseClick(window.Label2, Qt::LeftButton);
    press(window, window.cmdOK);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(deviceFiles(), QStringList{"_show_voltage"});
}

TEST_F(FlagFilesTest, ResetDeletesEverythingAtOnceAndCancelTouchesNothing)
{
    for (const char *name : {"_show_voltage", "_show_voltage.txt", "_short_deepsleep", "_disable_cache", "Other"})
        ASSERT_TRUE(write(device(name), QByteArray()));
    frmiPodHacks window(ipod.path());
    open(window);
    EXPECT_EQ(boxes(window), (std::vector<bool>{true, true, true}));
    press(window, window.cmdReset);
    EXPECT_EQ(boxes(window), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(deviceFiles(), QStringList{"Other"});

    window.chkVolt->setChecked(true);
    window.chkSleep->setChecked(true);
    QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(deviceFiles(), QStringList{"Other"});
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FlagFilesTest, AMissingiPodIsIgnoredSilently)
{
    const iPodFlags flags(ipod.filePath("gone"));
    EXPECT_EQ(flags.load(), (FlagStates{false, false, false}));
    EXPECT_TRUE(flags.apply({true, false, true}).isEmpty());
    EXPECT_TRUE(flags.reset().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(ipod.filePath("gone")));
    EXPECT_TRUE(iPodFlags(QString()).apply({true, true, true}).isEmpty());
}

TEST_F(FlagFilesTest, ALinkIsNeverFollowedAndIsNamed)
{
    QTemporaryDir outside;
    ASSERT_TRUE(write(outside.filePath("notes"), "the user's"));
    const QString folder = ipod.filePath("iPod_Control/Device");
    const struct
    {
        const char *what;
        QString link, target;
    } cases[] = {
        {"a staging file naming a file of the user's", device("_show_voltage.txt"), outside.filePath("notes")},
        {"a marker naming a file of the user's", device("_short_deepsleep"), outside.filePath("notes")},
        {"the Device folder naming a folder of the user's", folder, outside.path()},
    };
    for (const auto &c : cases) {
        dialogs.clear();
        QFile::remove(folder); // a link, never followed
        QDir(folder).removeRecursively();
        QDir().mkpath(ipod.filePath("iPod_Control"));
        if (c.link != folder)
            QDir().mkpath(folder);
        ASSERT_TRUE(QFile::link(c.target, c.link)) << c.what;
        frmiPodHacks window(ipod.path());
        open(window);
        // Voltage ticked, deep sleep cleared, and then Reset: every path touches the link.
        window.chkVolt->setChecked(true);
        window.chkSleep->setChecked(false);
        press(window, window.cmdApply);
        press(window, window.cmdReset);
        EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList{"notes"}) << c.what;
        EXPECT_EQ(read(outside.filePath("notes")), "the user's") << c.what;
        EXPECT_TRUE(QFileInfo(c.link).isSymLink()) << c.what;
        ASSERT_EQ(dialogs.count(), 2u) << c.what;
        EXPECT_TRUE(dialogs.last().text.contains(c.link + " is a link")) << c.what;
    }
}
