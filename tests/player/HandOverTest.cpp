// Handing a song or a playlist to a real program, and to the desktop's association.
#include "WindowFixture.h"

#include "ExternalPlayers.h"
#include "TestPaths.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

using namespace corvanel::playback;

namespace {

// A player that writes each of its arguments on a line of its own, then "argc=N".
QString makeRecordingPlayer(const QString &folder, const QString &name, const QString &output)
{
    const QString script = folder + "/" + name;
    writeFile(script,
              "#!/bin/sh\nout='" + output.toUtf8() +
                  "'\n"
                  "for a in \"$@\"; do printf 'arg=%s\\n' \"$a\" >> \"$out\"; done\n"
                  "printf 'argc=%d\\n' $# >> \"$out\"\n",
              true);
    return script;
}

QStringList argsOf(const QByteArray &record)
{
    QStringList args;
    for (const QByteArray &line : record.split('\n'))
        if (line.startsWith("arg="))
            args << QString::fromUtf8(line.mid(4));
    return args;
}

class HandOverTest : public WindowFixture
{
protected:
    // The iPod of the window tests: one song whose file is there, one whose file is not.
    void openIpod()
    {
        drive = dir.path() + "/ipod";
        writeFile(drive + "/iPod_Control/Music/F01/ABCD.mp3", "ID3");
        auto songs = buildLibrary({{1, "Uno", "Ana", "First", "Pop", 1, 1000, "\\iPod_Control\\Music\\F01\\ABCD.mp3"},
                                   {2, "Dos", "Ana", "First", "Pop", 2, 1000, "\\iPod_Control\\Music\\F01\\Gone.mp3"}});
        songs->iPodDrive = drive;
        open(std::move(songs));
    }

    QTemporaryDir dir;
    QString drive;
};

TEST_F(HandOverTest, ThePathReachesARealPlayerAsOneArgument)
{
    const QString record = dir.path() + "/argv.txt";
    const QString player = makeRecordingPlayer(dir.path(), "my player", record);
    const QString song = dir.path() + "/-rf My \"Song\" $(touch pwned) 'x' `id`; ü.mp3";
    EXPECT_TRUE(players::handOver(song, false, player));
    const auto recorded = waitForFile(record, "argc=");
    ASSERT_TRUE(recorded) << "the player never ran";
    EXPECT_EQ(argsOf(*recorded), QStringList{song});
    EXPECT_FALSE(QFile::exists(dir.path() + "/pwned"));
    EXPECT_FALSE(QFile::exists(QDir::currentPath() + "/pwned"));

    // A relative name goes as an absolute one, so it never looks like an option.
    QFile::remove(record);
    EXPECT_TRUE(players::handOver("-v", false, player));
    const auto relative = waitForFile(record, "argc=");
    ASSERT_TRUE(relative);
    EXPECT_EQ(argsOf(*relative), QStringList{QDir::currentPath() + "/-v"});

    // A player that is gone fails quietly.
    EXPECT_FALSE(players::handOver(song, false, dir.path() + "/no-such-player"));
    EXPECT_EQ(dialogs.count(), 0u);
}

// An X server for the helper: a private Xvfb, or the session's own display.
struct XServer
{
    XServer()
    {
        if (const QString xvfb = QStandardPaths::findExecutable("Xvfb"); !xvfb.isEmpty()) {
            process.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
            if (QTest::qWaitFor([&] { return process.canReadLine() || process.state() == QProcess::NotRunning; },
                                10000))
                display = ":" + process.readLine().trimmed();
        }
        if (display == ":" || display.isEmpty())
            display = qgetenv("DISPLAY");
    }
    ~XServer()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    QProcess process;
    QByteArray display;
};

TEST_F(HandOverTest, TheAssociationGoesThroughXdgOpen)
{
    const QString bin = dir.path() + "/bin";
    QDir().mkpath(bin);
    const QString record = dir.path() + "/xdg-open.txt";
    makeRecordingPlayer(bin, "xdg-open", record);

    const XServer x;
    if (x.display.isEmpty())
        GTEST_SKIP() << "no X server for the desktop services";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", QString::fromUtf8(x.display));
    env.insert("PATH", bin + ":" + env.value("PATH"));
    // On a known desktop its own opener could be asked before xdg-open.
    env.remove("XDG_CURRENT_DESKTOP");
    env.remove("DESKTOP_SESSION");
    env.remove("KDE_FULL_SESSION");
    if (!env.contains("LSAN_OPTIONS"))
        env.insert("LSAN_OPTIONS", "suppressions=" CORVANEL_LSAN_SUPPRESSIONS);

    const QString song = dir.path() + "/My Song $(touch pwned) #1 'q' \"x\".mp3";
    QProcess helper;
    helper.setProcessEnvironment(env);
    helper.start(binPath("players_open_helper"), {song});
    ASSERT_TRUE(helper.waitForFinished(20000));
    EXPECT_EQ(helper.exitCode(), 0) << helper.readAllStandardError().toStdString();
    const auto recorded = waitForFile(record, "argc=");
    ASSERT_TRUE(recorded) << "xdg-open was not run";
    const QStringList args = argsOf(*recorded);
    ASSERT_EQ(args.size(), 1);
    const QUrl url(args.first());
    EXPECT_TRUE(url.isLocalFile()) << args.first().toStdString();
    EXPECT_EQ(url.toLocalFile(), song);
    EXPECT_FALSE(QFile::exists(dir.path() + "/pwned"));
}

TEST_F(HandOverTest, EveryWayInOpensTheSelectedSong)
{
    const ScopedShell scoped(shell);
    openIpod();
    window->show();
    ASSERT_EQ(window->selectedSongRow(), 0);
    const QString expected = drive + "/iPod_Control/Music/F01/ABCD.mp3";

    window->cmdOpen->click();
    ASSERT_EQ(shell.count(), 1u);
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::OpenDocument);
    EXPECT_EQ(shell.last().target, expected);
    window->menus().item("mnuDefault")->trigger();
    window->menus().item("mnuInExternal")->trigger();
    EXPECT_EQ(shell.count(), 3u);

    // With a chosen player, the program gets the file as its one argument.
    storePlayerSettings({"/opt/players/vlc"}, "/opt/players/vlc");
    window->LoadPlayers();
    window->cmdOpen_Click();
    EXPECT_EQ(shell.last().kind, RecordingShell::Call::Kind::StartProgram);
    EXPECT_EQ(shell.last().target, "/opt/players/vlc");
    EXPECT_EQ(shell.last().arguments, QStringList{expected});

    // Double click and Enter follow "Open In E&xternal".
    shell.clear();
    ASSERT_TRUE(window->menus().item("mnuDefaultOpen")->isChecked());
    const QModelIndex first = window->songModel().index(0, 1);
    emit window->lstSong->doubleClicked(first);
    EXPECT_EQ(shell.count(), 1u);
    window->lstSong->setFocus();
    QTest::keyClick(window->lstSong, Qt::Key_Return);
    QTest::keyClick(window->lstSong, Qt::Key_Enter);
    EXPECT_EQ(shell.count(), 3u);

    // No selected row: nothing happens.
    window->lstSong->selectionModel()->clear();
    window->cmdOpen_Click();
    window->lstSong_DblClick();
    window->cmdMakeM3u_Click();
    EXPECT_EQ(shell.count(), 3u);
    EXPECT_EQ(dialogs.count(), 0u);
}

} // namespace
