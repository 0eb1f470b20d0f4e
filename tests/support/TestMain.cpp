#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

// Test binaries run offscreen and without sound, also when started by hand
// or by the test discovery step, which does not see CTest's environment.
int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Settings and lock files of tests never touch the user's own.
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", qPrintable(home.path() + "/config"), 1);
    setenv("XDG_CACHE_HOME", qPrintable(home.path() + "/cache"), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(home.path() + "/runtime"), 1);
    // Nor the desktop's session bus: tests that need a bus start their own.
    setenv("DBUS_SESSION_BUS_ADDRESS", qPrintable("unix:path=" + home.path() + "/runtime/no-session-bus"), 1);
    QDir().mkpath(home.path() + "/runtime");
    QFile::setPermissions(home.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("CorvanelTests");
    QApplication::setApplicationName("CorvanelTests");
    return RUN_ALL_TESTS();
}
