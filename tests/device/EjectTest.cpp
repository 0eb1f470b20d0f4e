// Eject through a stand-in of the desktop's disk service on a private D-Bus daemon: what is
// called, in which order, and what a refusal leaves.
#include "DeviceFixture.h"
#include "PrivateBus.h"
#include "UDisksClient.h"
#include "mdlEject.h"

#include <QSignalSpy>

using namespace corvanel;

using namespace corvanel;
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

TEST_F(EjectTest, UnmountsFirstThenEjectsAndPowersOff)
{
    EXPECT_TRUE(send(QStringLiteral("  ") + ipod.path() + QStringLiteral("/ ")));
    EXPECT_EQ(standIn->calls, (QStringList{"Unmount sdb1", "Eject iPod", "PowerOff iPod"}));
}

TEST_F(EjectTest, EveryMountedFilesystemOfTheDriveGoesBeforeTheDrive)
{
    standIn->blocks[1].mountPoints = {QStringLiteral("/media/firmware")};
    standIn->drivesThatPowerOff.clear();
    EXPECT_TRUE(send(ipod.path()));
    EXPECT_EQ(standIn->calls, (QStringList{"Unmount sdb1", "Unmount sdb2", "Eject iPod"}))
        << "no power-off where the drive does not allow it";
}

TEST_F(EjectTest, ARefusedUnmountStopsThereAndSaysNothing)
{
    for (const QString &refusal : {QStringLiteral("Unmount sdb1"), QStringLiteral("Unmount sdb2")}) {
        standIn->calls.clear();
        standIn->refused = {refusal};
        standIn->blocks[1].mountPoints = {QStringLiteral("/media/firmware")};
        EXPECT_FALSE(send(ipod.path())) << refusal.toStdString();
        EXPECT_FALSE(standIn->calls.contains("Eject iPod")) << refusal.toStdString();
        EXPECT_FALSE(standIn->calls.contains("PowerOff iPod")) << refusal.toStdString();
    }
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(EjectTest, APowerOffStillCountsWhenTheEjectIsRefused)
{
    standIn->refused = {"Eject iPod"};
    EXPECT_TRUE(send(ipod.path()));
    EXPECT_EQ(standIn->calls, (QStringList{"Unmount sdb1", "Eject iPod", "PowerOff iPod"}));
    standIn->calls.clear();
    standIn->drivesThatPowerOff.clear();
    EXPECT_FALSE(send(ipod.path()));
}

TEST_F(EjectTest, NothingIsSentForAnUnknownFolderOrAnotherCode)
{
    EXPECT_FALSE(send(ipod.filePath("elsewhere")));
    EXPECT_FALSE(send(ipod.path(), 0x2D4809));
    EXPECT_FALSE(send(QString()));
    EXPECT_TRUE(standIn->calls.isEmpty());
}

TEST_F(EjectTest, WithoutTheServiceTheEjectFailsQuietly)
{
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
    EXPECT_EQ(standIn->calls.count("Unmount sdb1"), 1);

    standIn->calls.clear();
    EjectiPodAndWait(ipod.path(), program.path());
    EXPECT_EQ(standIn->calls, (QStringList{"Unmount sdb1", "Eject iPod", "PowerOff iPod"}));
}
