// The iPod device tools in the main window's Extras menu, and the eject when it closes.
#include "PrivateBus.h"
#include "WindowFixture.h"
#include "frmiPodInfo.h"
#include "mdlEject.h"

using namespace corvanel;
using namespace corvanel::device;

namespace {

class DeviceMenuTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        CORVANEL_REQUIRE_BUS(bus);
        standIn = std::make_unique<UDisksStandIn>(bus.address);
        ASSERT_TRUE(standIn->registered);
        standIn->blocks = {{"sdb1", "iPod", {ipod.path()}}};
        standIn->drivesThatPowerOff = {"iPod"};
        corvanel::device::setDeviceBusAddress(bus.address);
    }
    void TearDown() override
    {
        window.reset();
        standIn.reset();
        corvanel::device::setDeviceBusAddress(QString());
    }
    frmMain &openOnTheiPod()
    {
        auto songs = buildLibrary({{1, "Uno", "Ana", "First", "Pop", 1}});
        songs->iPodDrive = ipod.path();
        open(std::move(songs)).show();
        return *window;
    }
    void trigger(const char *item) { window->menus().item(item)->trigger(); }

    QTemporaryDir ipod;
    PrivateBus bus;
    std::unique_ptr<UDisksStandIn> standIn;
    const QStringList ejectedOnce = {"Unmount sdb1", "Eject iPod", "PowerOff iPod"};
};

} // namespace

TEST_F(DeviceMenuTest, EjectAndCloseEjectsOnceWithOrWithoutTheOptionAndTellsOfAFailure)
{
    for (const bool option : {false, true}) {
        for (const bool busy : {false, true}) {
            SCOPED_TRACE(testing::Message() << "option " << option << ", busy " << busy);
            openOptionsStore()->clear();
            dialogs.clear();
            standIn->calls.clear();
            standIn->refused = busy ? QSet<QString>{"Eject iPod", "PowerOff iPod"} : QSet<QString>{};
            openOnTheiPod();
            if (option)
                trigger("mnuEject");
            trigger("mnuEjectAndClose");
            // Without the option the eject runs first, then the close; with it the close ejects.
            // A failed eject is told once, and the program closes all the same.
            ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 30000));
            EXPECT_EQ(standIn->calls, ejectedOnce);
            EXPECT_EQ(openOptionsStore()->value("Options/mnuEjectOnClose").toString(), option ? "True" : "False");
            window.reset(); // the window's end runs no second shutdown
            EXPECT_EQ(standIn->calls, ejectedOnce);
            ASSERT_EQ(dialogs.count(), busy ? 1u : 0u);
            if (busy) {
                EXPECT_EQ(dialogs.last().text, "The iPod could not be ejected: target is busy.");
            }
        }
    }
}

TEST_F(DeviceMenuTest, ClosingEjectsOnlyWithTheOptionChecked)
{
    openOnTheiPod().close();
    EXPECT_TRUE(standIn->calls.isEmpty());
    openOnTheiPod();
    trigger("mnuEject");
    window->close();
    EXPECT_EQ(standIn->calls, ejectedOnce);
}

TEST_F(DeviceMenuTest, TheExtrasItemsAreAvailableAndiPodInformationOpensOverTheWindow)
{
    ASSERT_TRUE(writeFile(ipod.filePath("iPod_Control/Device/SysInfo"), "ModelNumStr: MA147\n"));
    openOnTheiPod();
    for (const char *name : {"mnuHacks", "mnuPowerSave", "mnuiPodInfo", "mnuEjectAndClose", "mnuCopyToiPod"})
        EXPECT_TRUE(window->menus().item(name)->isEnabled()) << name;
    trigger("mnuiPodInfo");
    corvanel::device::iPodInfo *info = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (info = window->findChild<corvanel::device::iPodInfo *>()) && info->isVisible(); }, 10000));
    EXPECT_EQ(info->List1->count(), 2);
    info->cmdOK->click();
}
