// The power-save dialog as a user meets it: the captions with their state words, the boxes,
// OK and Cancel, and the refusal that never opens the dialog.
#include "DeviceFixture.h"
#include "TestPaths.h"
#include "frmiPodPrefs.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace corvanel::device;

namespace {

class PreferencesWindowTest : public DeviceFixture
{
protected:
    void SetUp() override { qputenv("XDG_DATA_HOME", QFile::encodeName(program.filePath("data"))); }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    // Opens the dialog over the iPod's file; whether it showed.
    bool open(frmiPodPrefs &window)
    {
        QSignalSpy finished(&window, &frmiPodPrefs::loadFinished);
        window.Form_Load();
        EXPECT_TRUE(finished.wait(10000));
        return !finished.isEmpty() && finished.first().first().toBool();
    }
    void pressOK(frmiPodPrefs &window)
    {
        QTest::mouseClick(window.cmdOK, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
    }
    QStringList captions(const frmiPodPrefs &w) const
    {
        return {w.lblShuffle->text(),   w.lblRepeat->text(),  w.lblSoundCheck->text(), w.lblEQ->text(),
                w.lblBacklight->text(), w.lblClicker->text(), w.lblContrast->text()};
    }
};

} // namespace

TEST_F(PreferencesWindowTest, RealFilesShowEveryLineOffButTheBacklight)
{
    CORVANEL_REQUIRE_FIXTURES();
    for (const char *name : {"ipod/Preferences-2924", "ipod/Preferences-nano6g-2960"}) {
        ASSERT_TRUE(write(device("Preferences"), read(fixturePath(name))));
        frmiPodPrefs window(ipod.path(), program.path());
        ASSERT_TRUE(open(window)) << name;
        EXPECT_EQ(captions(window),
                  (QStringList{"Turn Off Shuffle - Currently off.", "Turn Off Repeat - Currently off.",
                               "Turn Off Soundcheck - Currently off.", "Turn Off EQ - Currently off.",
                               "Turn Off Backlight - Currently on.", "Turn Off Clicker - Currently on.",
                               "Turn Contrast Medium"}))
            << name;
        EXPECT_EQ(window.windowTitle(), "iPod Power Save Mode");
        for (QCheckBox *box : window.findChildren<QCheckBox *>())
            EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
        window.cmdCancel->click();
    }
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(PreferencesWindowTest, OKWritesTheTickedValuesKeepsTheLengthAndSaysSo)
{
    struct Case
    {
        const char *what;
        std::function<void(frmiPodPrefs &)> tick;
        QByteArray expected;
    };
    const QByteArray before = image({{2800, 7}, {2796, 63}, {20, 1}}, 2924);
    const std::vector<Case> cases = {
        {"clicker only, by its caption", [](frmiPodPrefs &w) { QTest::mouseClick(w.lblClicker, Qt::LeftButton); },
         before},
        {"backlight, repeat and contrast",
         [](frmiPodPrefs &w) {
             QTest::mouseClick(w.lblBacklight, Qt::LeftButton);
             w.chkRepeat->setChecked(true);
             w.chkContrast->setChecked(true);
         },
         image({{2796, 80}}, 2924)},
    };
    for (const Case &c : cases) {
        dialogs.clear();
        ASSERT_TRUE(write(device("Preferences"), before));
        frmiPodPrefs window(ipod.path(), program.path());
        ASSERT_TRUE(open(window)) << c.what;
        c.tick(window);
        pressOK(window);
        EXPECT_EQ(read(device("Preferences")), c.expected) << c.what;
        ASSERT_EQ(dialogs.count(), 1u) << c.what;
        EXPECT_EQ(dialogs.last().title, "Corvanel");
        EXPECT_EQ(dialogs.last().icon, MessageIcon::None);
        EXPECT_TRUE(dialogs.last().text.startsWith("All the settings have been saved, but remember"));
        EXPECT_EQ(read(program.filePath("PreferencesBackup")), before) << "backed up as it was";
    }
}

TEST_F(PreferencesWindowTest, CaptionsToggleTheirBoxesButContrastHasNoCaptionAction)
{
    ASSERT_TRUE(write(device("Preferences"), image({{24, 1}, {137, 1}})));
    frmiPodPrefs window(ipod.path(), program.path());
    ASSERT_TRUE(open(window));
    EXPECT_EQ(window.lblShuffle->text(), "Turn Off Shuffle - Currently on albums.");
    QTest::mouseClick(window.lblShuffle, Qt::LeftButton);
    EXPECT_TRUE(window.chkShuffle->isChecked());
    QTest::mouseClick(window.lblShuffle, Qt::LeftButton);
    EXPECT_FALSE(window.chkShuffle->isChecked());
    QTest::mouseClick(window.lblContrast, Qt::LeftButton);
    EXPECT_FALSE(window.chkContrast->isChecked());
    window.chkShuffle->setChecked(true);
    window.cmdCancel->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(read(device("Preferences")), image({{24, 1}, {137, 1}})) << "Cancel writes nothing";
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(PreferencesWindowTest, AnUnknownValueOrAMissingFileNeverOpensTheDialog)
{
    ASSERT_TRUE(write(device("Preferences"), image({{20, 3}})));
    {
        frmiPodPrefs window(ipod.path(), program.path());
        EXPECT_FALSE(open(window));
        EXPECT_FALSE(window.isVisible());
    }
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Error!\"");
    EXPECT_EQ(dialogs.last().text,
              "The structure of the preferences file is different to the version this program was "
              "made to work with. This program will not change your values as it may be dangerous!");
    EXPECT_EQ(read(device("Preferences")), image({{20, 3}}));
    EXPECT_EQ(read(program.filePath("PreferencesBackup")), image({{20, 3}})) << "the backup stays";

    QFile::remove(device("Preferences"));
    dialogs.clear();
    frmiPodPrefs window(ipod.path(), program.path());
    EXPECT_FALSE(open(window));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_TRUE(dialogs.last().text.contains(device("Preferences")));
}

TEST_F(PreferencesWindowTest, AFileChangedSinceItWasReadIsNotWritten)
{
    const QByteArray first = image({{2800, 7}});
    const struct
    {
        const char *what;
        QByteArray now;
        bool replaced; // another file put in its place, as a sync or another iPod would
    } cases[] = {
        {"a byte changed in place", image({{2800, 7}, {20, 1}}), false},
        {"grown in place", first + "more", false},
        {"replaced by a file with the same bytes", first, true},
    };
    for (const auto &c : cases) {
        dialogs.clear();
        ASSERT_TRUE(write(device("Preferences"), first));
        frmiPodPrefs window(ipod.path(), program.path());
        ASSERT_TRUE(open(window)) << c.what;
        window.chkBacklight->setChecked(true);
        if (c.replaced) {
            ASSERT_TRUE(write(device("other"), c.now));
            ASSERT_TRUE(QFile::remove(device("Preferences")));
            ASSERT_TRUE(QFile::rename(device("other"), device("Preferences")));
        } else {
            ASSERT_TRUE(write(device("Preferences"), c.now));
        }
        pressOK(window);
        EXPECT_EQ(read(device("Preferences")), c.now) << c.what;
        ASSERT_EQ(dialogs.count(), 1u) << c.what;
        EXPECT_EQ(dialogs.last().icon, MessageIcon::Warning);
        EXPECT_TRUE(dialogs.last().text.startsWith("The preferences file on your iPod (" + device("Preferences") +
                                                   ") has changed since Power Save Mode read it"))
            << c.what;
    }
}
