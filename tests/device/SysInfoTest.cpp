// The iPod's SysInfo file in the information window.
#include "SysInfo.h"
#include "DeviceFixture.h"
#include "IpodBuilder.h"
#include "frmiPodInfo.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

using namespace corvanel::device;

TEST(SysInfoRows, SplitAtEveryLineFeedUpToTheFirstCarriageReturn)
{
    const std::vector<std::pair<QByteArray, QStringList>> cases = {
        {"a: 1\nb: 2\nc: 3\n", {"a: 1", "b: 2", "c: 3", ""}},
        {"a: 1\n\nb: 2", {"a: 1", "", "b: 2"}},
        {"a: 1\nb: 2\r\nc: 3\n", {"a: 1", "b: 2"}},
        {"a: 1\rb: 2\n", {"a: 1"}},
        {"", {""}},
        {QByteArray("x\0y\n", 4), {QString::fromUtf8("x\0y", 3), ""}},
    };
    for (const auto &[bytes, rows] : cases)
        EXPECT_EQ(sysInfoRows(bytes), rows) << bytes.toStdString();
}

namespace {

class SysInfoWindowTest : public DeviceFixture
{
protected:
    void open(iPodInfo &window)
    {
        QSignalSpy loaded(&window, &iPodInfo::loadFinished);
        window.Form_Load();
        ASSERT_TRUE(loaded.wait(10000));
        ASSERT_TRUE(window.isVisible());
    }
};

} // namespace

TEST_F(SysInfoWindowTest, ShowsTheLinesAsTheyAreOrANoteWhereThereAreNone)
{
    ASSERT_TRUE(write(device("SysInfo"), mkipod::buildSysInfo()));
    {
        iPodInfo window(ipod.path());
        open(window);
        ASSERT_EQ(window.List1->count(), 12);
        EXPECT_EQ(window.List1->item(0)->text(), "BoardHwName: iPod Q98");
        EXPECT_EQ(window.List1->item(11)->text(), "");
        EXPECT_FALSE(window.lblNote->isVisibleTo(&window));
        window.cmdOK->click();
        EXPECT_FALSE(window.isVisible());
    }
    QFile::remove(device("SysInfo"));
    for (const QString &drive : {ipod.path(), ipod.filePath("gone")}) {
        iPodInfo window(drive);
        open(window);
        EXPECT_EQ(window.List1->count(), 0);
        EXPECT_TRUE(window.lblNote->isVisibleTo(&window));
        EXPECT_TRUE(window.lblNote->text().startsWith("No system information file was found on your iPod"));
    }
    EXPECT_TRUE(dialogs.calls.empty());
}
