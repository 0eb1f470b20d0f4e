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

TEST(SysInfoRows, AtMostAThousandRowsOfAThousandCharactersAndASayWhenCut)
{
    const QString longer = QStringLiteral("(SysInfo was cut: it has more than 1,000 lines)");
    const QString wider = QStringLiteral("(SysInfo was cut: lines are shown up to 1,000 characters)");
    const QStringList thousand(1000, "a");
    const struct
    {
        const char *what;
        QByteArray bytes;
        QStringList rows;
    } cases[] = {
        {"a thousand rows", QByteArray("a\n").repeated(999) + "a", thousand},
        {"a thousand lines, each ended", QByteArray("a\n").repeated(1000), thousand},
        {"a thousand and one rows", QByteArray("a\n").repeated(1000) + "b", thousand + QStringList{longer}},
        {"two million line feeds", QByteArray(2000000, '\n'), QStringList(1000, "") + QStringList{longer}},
        {"a line of 3,000 characters", QByteArray(3000, 'x') + "\ny", {QString(1000, 'x'), "y", wider}},
        {"1,000 characters of two bytes", QString(1000, QChar(0xE9)).toUtf8(), {QString(1000, QChar(0xE9))}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sysInfoRows(c.bytes), c.rows) << c.what;
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

TEST_F(SysInfoWindowTest, AHugeFileIsReadOnlyAsFarAsTheRowsNeedAndALinkIsNamed)
{
    // Two gigabytes without a line feed, sparse on disk: reading it whole would not end in time.
    QFile huge(device("SysInfo"));
    QDir().mkpath(device());
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(2) << 30));
    huge.close();
    {
        iPodInfo window(ipod.path());
        open(window);
        ASSERT_EQ(window.List1->count(), 2);
        EXPECT_EQ(window.List1->item(0)->text(), QString(1000, QChar(0)));
        EXPECT_EQ(window.List1->item(1)->text(), "(SysInfo was cut: lines are shown up to 1,000 characters; only its "
                                                 "first megabyte was read)");
    }
    QTemporaryDir outside;
    ASSERT_TRUE(huge.remove() && write(outside.filePath("secret"), "a: 1\n"));
    ASSERT_TRUE(QFile::link(outside.filePath("secret"), device("SysInfo")));
    iPodInfo window(ipod.path());
    open(window);
    EXPECT_EQ(window.List1->count(), 0);
    EXPECT_TRUE(window.lblNote->text().startsWith(device("SysInfo") + " is a link"));
}
