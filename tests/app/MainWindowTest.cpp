// The main window as a whole: options kept between runs and its shutdown.
#include "WindowFixture.h"

#include "FSound.h"
#include "TrayIcon.h"

#include <QGroupBox>

using namespace corvanel::playback;

namespace {

class MainWindowTest : public WindowFixture
{
protected:
    std::unique_ptr<MusicLibrary> pocket()
    {
        return buildLibrary({{1, "Uno", "Ana", "First", "Pop", 1}, {2, "Dos", "Ana", "First", "Pop", 2}}, {},
                            QStringLiteral("Pocket"));
    }
    std::vector<bool> optionMarks()
    {
        std::vector<bool> out;
        for (const char *item :
             {"mnuTrayMinYes", "mnuTrayMinNo", "mnuEmbedded", "mnuDefaultOpen", "mnuEject", "mnuNotify"})
            out.push_back(window->menus().item(item)->isChecked());
        return out;
    }
};

// Nothing stored: the first-run defaults. Unreadable values keep the marks the menus are
// designed with, and the default volume.
TEST_F(MainWindowTest, FirstRunDefaultsAndUnreadableValues)
{
    open(pocket());
    EXPECT_EQ(optionMarks(), (std::vector<bool>{true, false, false, true, false, false}));
    EXPECT_EQ(window->volume(), 200);
    EXPECT_EQ(window->fraNow->title(), "Currently Playing from Pocket");
    window.reset(); // it stores its options as it goes
    {
        auto store = openOptionsStore();
        store->beginGroup("Options");
        for (const auto &[key, value] :
             {std::pair{"mnuEmbedded", "perhaps"}, {"mnuDefaultOpen", "-1"}, {"Volume", "loud"}, {"mnuMinToTray", "0"}})
            store->setValue(key, value);
    }
    open(pocket());
    EXPECT_EQ(optionMarks(), (std::vector<bool>{false, false, true, true, false, false}));
    EXPECT_EQ(window->volume(), 200);
}

TEST_F(MainWindowTest, ShutdownSavesTheOptionsForTheNextInstance)
{
    open(pocket()).show();
    for (const char *item : {"mnuTrayMinNo", "mnuEmbedded", "mnuEject", "mnuNotify"})
        window->menus().item(item)->trigger();
    window->setVolume(300); // clamped to the engine's range
    ASSERT_NE(window->findChild<TrayIcon *>(), nullptr);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(FSOUND_DSP_GetFFTUnit(), 0) << "the sound engine is closed";
    EXPECT_EQ(window->findChild<TrayIcon *>(), nullptr) << "the tray icon is gone";
    {
        auto store = openOptionsStore();
        store->beginGroup("Options");
        for (const auto &[key, value] : {std::pair{"mnuMinToTrayNO", "True"},
                                         {"mnuMinToTray", "False"},
                                         {"mnuEmbedded", "True"},
                                         {"mnuDefaultOpen", "False"},
                                         {"Volume", "255"}, // saved while the volume was known
                                         {"mnuEjectOnClose", "True"},
                                         {"NotifyOnSongChange", "True"}})
            EXPECT_EQ(store->value(key).toString(), value) << key;
    }
    open(pocket());
    EXPECT_EQ(optionMarks(), (std::vector<bool>{false, true, true, false, true, true}));
    EXPECT_EQ(window->volume(), 255);
}

} // namespace
