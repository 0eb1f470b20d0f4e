// Eject through a stand-in of the desktop's disk service on a private D-Bus daemon: what is
// called, in which order, and what a refusal leaves.
#include "DeviceFixture.h"
#include "PrivateBus.h"
#include "UDisksClient.h"
#include "mdlEject.h"

#include <QSignalSpy>

#include <functional>

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
        setDeviceCallTimeout(kDeviceCallTimeoutMs);
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

TEST_F(EjectTest, RunningFromTheiPodComparesFoldersNotText)
{
    const QString link = program.filePath("link-to-ipod");
    ASSERT_TRUE(QFile::link(ipod.path(), link));
    const struct
    {
        QString drive, programFolder;
        bool running;
    } cases[] = {
        {ipod.path(), ipod.path() + "/Corvanel", true},
        {ipod.path() + "/", ipod.path(), true},
        {ipod.path(), link + "/Corvanel", true},
        {"/", program.path(), true},
        {ipod.path(), program.path(), false},
        {ipod.path(), ipod.path() + "1/Corvanel", false},
        {QString(), program.path(), false},
        {QString(), "/", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RunningFromiPod(c.drive, c.programFolder), c.running)
            << c.drive.toStdString() << " " << c.programFolder.toStdString();
}

TEST_F(EjectTest, RunningFromTheiPodRefusesWithItsMessageAndSendsNothing)
{
    EjectJob job;
    EXPECT_FALSE(job.start(ipod.path(), ipod.path() + QStringLiteral("/Corvanel")));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Corvanel");
    EXPECT_EQ(dialogs.last().icon, MessageIcon::None);
    EXPECT_EQ(dialogs.last().text, "Sorry but Corvanel cannot eject your iPod as it is being run off it! Please copy "
                                   "Corvanel to another location off the iPod before attempting to ejet the iPod.");
    EXPECT_TRUE(standIn->calls.isEmpty());
}

TEST_F(EjectTest, AFailedEjectSaysWhyOnce)
{
    setDeviceCallTimeout(300);
    const struct
    {
        const char *what;
        std::function<void(std::unique_ptr<UDisksStandIn> &)> arrange;
        QString text;
    } cases[] = {
        {"busy", [](auto &service) { service->refused = {"Unmount sdb1"}; },
         "The iPod could not be ejected: target is busy."},
        // A hung service is given up after the call's timeout, not D-Bus's two minutes.
        {"hung", [](auto &service) { service->hung = true; },
         "The iPod could not be ejected: the desktop's disk service (udisks2) did not answer in time."},
        {"absent", [](auto &service) { service.reset(); },
         "The iPod could not be ejected: the desktop's disk service (udisks2) is not running."},
    };
    for (const auto &c : cases) {
        dialogs.clear();
        c.arrange(standIn);
        EjectJob job;
        QSignalSpy finished(&job, &EjectJob::finished);
        ASSERT_TRUE(job.start(ipod.path(), program.path()));
        ASSERT_TRUE(finished.wait(5000)) << c.what;
        EXPECT_FALSE(finished.first().first().toBool()) << c.what;
        ASSERT_EQ(dialogs.count(), 1u) << c.what;
        EXPECT_EQ(dialogs.last().text, c.text) << c.what;
        EXPECT_EQ(dialogs.last().icon, MessageIcon::Warning);
    }
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
