// The model an iPod's SysInfo and SysInfoExtended name, and the information window's caption.
#include "IpodModel.h"
#include "DeviceFixture.h"
#include "IpodBuilder.h"
#include "frmiPodInfo.h"

#include "CaptionBar.h"

#include <QLabel>
#include <QSignalSpy>

using namespace corvanel::device;

namespace {

QByteArray plist(const QByteArray &entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + entries +
           "</dict>\n</plist>\n";
}

} // namespace

TEST(IpodModel, SysInfoAndSysInfoExtendedNameTheModel)
{
    const struct
    {
        const char *what;
        QByteArray sysInfo;
        QByteArray extended;
        const char *name;
        ChecksumKind checksum;
        const char *source;
    } cases[] = {
        {"a classic by its model number", "ModelNumStr: MC293\nFirewireGuid: 0x000A27001B5C3E71\n", "",
         "iPod classic 160 GB", ChecksumKind::Hash58, "SysInfo"},
        {"an engraved nano", "ModelNumStr: PA350\n", "", "iPod nano (1st generation) 1 GB", ChecksumKind::None,
         "SysInfo"},
        {"a shuffle of half a gigabyte", "ModelNumStr: M9724\n", "", "iPod shuffle (1st generation) 512 MB",
         ChecksumKind::None, "SysInfo"},
        {"a nano 5G by its serial number", "",
         plist("<key>SerialNumber</key><string>5U9230071V</string>\n<key>FamilyID</key><integer>16</integer>\n"),
         "iPod nano (5th generation) 8 GB", ChecksumKind::Hash72, "serial number"},
        {"a nano 7G whose DBVersion speaks for its database", "ModelNumStr: xD480\n",
         plist("<key>DBVersion</key><integer>5</integer>\n"), "iPod nano (7th generation) 16 GB", ChecksumKind::HashAB,
         "SysInfo"},
        {"the model number in the property list, among nested values and stray keys", "",
         plist("<key>ImageSpecifications</key><array><key>1067</key><dict><key>FormatId</key><integer>1067"
               "</integer></dict></array>\n<key>ModelNumStr</key><string> MC027 </string>\n"),
         "iPod nano (5th generation) 8 GB", ChecksumKind::Hash72, "SysInfoExtended"},
        {"a model number the table does not hold", "ModelNumStr: MZ999\n", "", "iPod (model MZ999)",
         ChecksumKind::Unknown, "SysInfo"},
        {"nothing", "", "", "iPod", ChecksumKind::Unknown, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const IpodModel model =
            identifyModel(parseSysInfoFields(sysInfoRows(c.sysInfo)), parseSysInfoExtended(c.extended));
        EXPECT_EQ(model.displayName(), QString::fromUtf8(c.name));
        EXPECT_EQ(model.checksum, c.checksum);
        EXPECT_EQ(model.source, QString::fromUtf8(c.source));
    }
}

TEST(IpodModel, HostilePropertyListsEndQuicklyAndNameNothing)
{
    const QByteArray laughs =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
        "<plist><dict><key>SerialNumber</key><string>&e;&e;&e;&e;&e;&e;</string></dict></plist>";
    const struct
    {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"entities that expand a millionfold", laughs},
        {"nesting a hundred thousand deep",
         plist("<key>x</key>" + QByteArray("<array>").repeated(100000) + QByteArray("</array>").repeated(100000))},
        {"a serial number of a megabyte",
         plist("<key>SerialNumber</key><string>" + QByteArray(1 << 20, '9') + "</string>")},
        {"no XML at all", QByteArray(5000, '\xff')},
        {"cut in the middle", plist("<key>SerialNumber</key><string>8K2").left(90)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const SysInfoExtended extended = parseSysInfoExtended(c.bytes);
        EXPECT_LE(extended.serialNumber.size(), 64);
        EXPECT_FALSE(identifyModel(SysInfoFields{}, extended).known());
    }
}

class IpodModelWindowTest : public DeviceFixture
{
};

TEST_F(IpodModelWindowTest, TheInformationWindowNamesTheModelInItsCaption)
{
    QString error;
    ASSERT_TRUE(mkipod::writeModel(ipod.path(), "MC027", &error)) << error.toStdString();
    EXPECT_EQ(identifyModel(ipod.path()).displayName(), "iPod nano (5th generation) 8 GB");

    iPodInfo window(ipod.path());
    QSignalSpy loaded(&window, &iPodInfo::loadFinished);
    window.Form_Load();
    ASSERT_TRUE(loaded.wait(10000));
    EXPECT_EQ(window.captionBar()->lblCaption->text(), "iPod Information - iPod nano (5th generation) 8 GB");
    EXPECT_EQ(window.lblModel->text(), "Model: iPod nano (5th generation) 8 GB (MC027), database checksum hash72");
    EXPECT_TRUE(dialogs.calls.empty());
}
