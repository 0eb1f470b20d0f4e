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
    flags.apply({true, false, true});
    flags.reset();
    EXPECT_FALSE(QFileInfo::exists(ipod.filePath("gone")));
    const iPodFlags nowhere{QString()};
    nowhere.apply({true, true, true});
    EXPECT_TRUE(nowhere.folder().isEmpty());
    EXPECT_TRUE(dialogs.calls.empty());
}
