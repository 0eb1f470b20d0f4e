// Eject through a stand-in of the desktop's disk service on a private D-Bus daemon: what is
// called, in which order, and what a refusal leaves.
#include "DeviceFixture.h"
#include "PrivateBus.h"
#include "UDisksClient.h"
#include "mdlEject.h"

#include <QSignalSpy>

using namespace corvanel::device;

namespace {

class EjectTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        CORVANEL_REQUIRE_BUS(bus);
        standIn = std::make_unique<UDisksStandIn>(bus.address);
        ASSERT_TRUE(standIn->registered);
        setDeviceBusAddress(bus.address);
        // The iPod, a second partition of it, and another disk.
        standIn->blocks = {{"sdb1", "iPod", {ipod.path()}}, {"sdb2", "iPod", {}}, {"sdc1", "Stick", {"/media/stick"}}};
        standIn->drivesThatPowerOff = {"iPod"};
    }
    void TearDown() override
    {
        standIn.reset();
        setDeviceBusAddress(QString());
    }
    bool send(const QString &drive, uint32_t code = IOCTL_STORAGE_EJECT_MEDIA)
    {
        return offThread([&] { return SendDeviceControl(drive, code); });
    }

    PrivateBus bus;
    std::unique_ptr<UDisksStandIn> standIn;
};

} // namespace

TEST_F(EjectTest, EveryFilesystemUnmountsBeforeTheDriveEjectsAndPowersOff)
{
    const QStringList all = {"Unmount sdb1", "Eject iPod", "PowerOff iPod"};
    const struct
    {
        const char *what;
        bool firmwareMounted, powersOff;
        QString refused;
        bool ejected;
        QStringList calls;
    } cases[] = {
        {"plain", false, true, "", true, all},
        {"two filesystems, no power-off", true, false, "", true, {"Unmount sdb1", "Unmount sdb2", "Eject iPod"}},
        // A power-off still counts when the eject is refused.
        {"eject refused", false, true, "Eject iPod", true, all},
        {"eject refused, no power-off", false, false, "Eject iPod", false, {"Unmount sdb1", "Eject iPod"}},
        // A refused unmount stops there: the drive is left alone.
        {"first unmount refused", true, true, "Unmount sdb1", false, {"Unmount sdb1"}},
        {"second unmount refused", true, true, "Unmount sdb2", false, {"Unmount sdb1", "Unmount sdb2"}},
    };
    for (const auto &c : cases) {
        standIn->calls.clear();
        standIn->blocks[1].mountPoints = c.firmwareMounted ? QStringList{"/media/firmware"} : QStringList{};
        standIn->drivesThatPowerOff = c.powersOff ? QSet<QString>{"iPod"} : QSet<QString>{};
        standIn->refused = c.refused.isEmpty() ? QSet<QString>{} : QSet<QString>{c.refused};
        EXPECT_EQ(send(QStringLiteral("  ") + ipod.path() + QStringLiteral("/ ")), c.ejected) << c.what;
        EXPECT_EQ(standIn->calls, c.calls) << c.what;
    }
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(EjectTest, AnUnknownFolderAnotherCodeOrNoServiceFailsQuietly)
{
    EXPECT_FALSE(send(ipod.filePath("elsewhere")));
    EXPECT_FALSE(send(ipod.path(), 0x2D4809));
    EXPECT_FALSE(send(QString()));
    EXPECT_TRUE(standIn->calls.isEmpty());

    standIn.reset();
    EXPECT_FALSE(send(ipod.path()));
    setDeviceBusAddress(QStringLiteral("unix:path=") + ipod.filePath("no-bus-here"));
    EXPECT_FALSE(send(ipod.path()));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(EjectTest, RunningFromTheiPodRefusesWithItsMessageAndSendsNothing)
{
    const QString programFolder = ipod.path().toUpper() + QStringLiteral("/Corvanel");
    EXPECT_TRUE(RunningFromiPod(ipod.path(), programFolder));
    EXPECT_FALSE(RunningFromiPod(ipod.path(), program.path()));
    EjectJob job;
    EXPECT_FALSE(job.start(ipod.path(), programFolder));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Corvanel");
    EXPECT_EQ(dialogs.last().icon, MessageIcon::None);
    EXPECT_EQ(dialogs.last().text, "Sorry but Corvanel cannot eject your iPod as it is being run off it! Please copy "
                                   "Corvanel to another location off the iPod before attempting to ejet the iPod.");
    EXPECT_TRUE(standIn->calls.isEmpty());
}

TEST_F(EjectTest, AnEjectRunsOffTheUIThreadAndReportsWhenItIsOver)
{
    EjectJob job;
    QSignalSpy finished(&job, &EjectJob::finished);
    ASSERT_TRUE(job.start(ipod.path(), program.path()));
    EXPECT_TRUE(job.running());
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(finished.first().first().toBool());
    EXPECT_FALSE(job.running());
    EXPECT_EQ(standIn->calls, (QStringList{"Unmount sdb1", "Eject iPod", "PowerOff iPod"}));
}
