#include "IpodBuilder.h"
#include "RecordingDialogs.h"
#include "Servers.h"
#include "TestFiles.h"
#include "TestPaths.h"
#include "UpdateInstaller.h"
#include "UpdaterCore.h"
#include "frmUpdater.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvanel;
using namespace corvanel::platform;
using namespace corvanel::update;
using namespace corvanel::updater;

namespace {

const QString kComplete = "Update Complete!|Corvanel has been updated! Now running new version of Corvanel...";

// Processes running the given program file.
QList<qint64> processesRunning(const QString &program)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    QList<qint64> found;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qint64 pid = entry.toLongLong();
        if (pid > 0 && QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(entry)) == wanted &&
            updater::processAlive(pid))
            found << pid;
    }
    return found;
}

// A throw-away program folder and the environment its programs run in.
struct ProgramFolder
{
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    ProgramFolder()
    {
        environment.insert("CORVANEL_UPDATER_MESSAGES", "stderr");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    bool install(const QString &program) { return QFile::copy(binPath(program), path(program)); }
};

UpdatingHooks recordingHooks(QStringList &messages, QStringList &started, bool &quit)
{
    UpdatingHooks hooks;
    hooks.message = [&messages](const QString &title, const QString &text) { messages << title + u'|' + text; };
    hooks.startProgram = [&started](const QString &program) {
        started << program;
        return true;
    };
    hooks.quit = [&quit] { quit = true; };
    hooks.retryPauseMs = 1;
    return hooks;
}

} // namespace

TEST(UpdaterCore, CommandLineAndCopies)
{
    // The leading number; nothing usable (empty, negative, too large) is 0.
    for (const auto &[argument, pid] : {std::pair{"77 88", 77}, {"12ab", 12}, {"", 0}, {"-5", 0}, {"99999999999", 0}})
        EXPECT_EQ(updater::processIdFromArgument(QLatin1String(argument)), pid) << argument;
    // The test program sits in the program folder but is not ours.
    EXPECT_FALSE(updater::isOurProgram(getpid(), QStringLiteral(CORVANEL_BIN_DIR)));

    QTemporaryDir dir;
    const QString target = dir.filePath("tool");
    const QString source = dir.filePath("tool.new");
    ASSERT_TRUE(writeFile(target, "old"));
    ASSERT_TRUE(writeFile(source, "new contents"));
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0600), 0);
    ASSERT_TRUE(updater::copyOver(source, target));
    EXPECT_EQ(readFile(target), "new contents");
    // The installed file keeps the mode of the file it replaced (a program stays runnable).
    struct stat installed = {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &installed), 0);
    EXPECT_EQ(installed.st_mode & 07777, 0755u);

    QFile::setPermissions(target, QFile::ReadOwner);
    EXPECT_FALSE(updater::copyOver(source, target));
    EXPECT_EQ(readFile(target), "new contents");
    EXPECT_TRUE(updater::copyOver(source, dir.filePath("fresh")));
    EXPECT_FALSE(updater::copyOver(dir.filePath("missing.new"), dir.filePath("x")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"fresh", "tool", "tool.new"}));
}

TEST(UpdaterInstaller, ReadOnlyTargetsFail)
{
    // The main program is retried (eleven attempts), anything else fails at once; files not
    // reached yet stay pending.
    for (const char *blocked : {"corvanel", "a.dat"}) {
        QTemporaryDir dir;
        ASSERT_TRUE(writeFile(dir.filePath(QLatin1String(blocked)), "old"));
        QFile::setPermissions(dir.filePath(QLatin1String(blocked)), QFile::ReadOwner);
        ASSERT_TRUE(writeFile(dir.filePath(QLatin1String(blocked) + ".new"), "new"));
        ASSERT_TRUE(writeFile(dir.filePath("zz.dat.new"), "later"));
        QStringList messages, started;
        bool quit = false;
        UpdateInstaller installer(dir.path(), "0", recordingHooks(messages, started, quit));
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return quit; }, 5000));
        EXPECT_EQ(messages, QStringList{"Error!|" + UpdateInstaller::failureText()});
        EXPECT_TRUE(started.isEmpty());
        EXPECT_EQ(installer.retryCount(), QLatin1String(blocked) == QLatin1String("corvanel") ? 11 : 0);
        EXPECT_EQ(readFile(dir.filePath(QLatin1String(blocked))), "old");
        EXPECT_TRUE(QFile::exists(dir.filePath("zz.dat.new")));
    }
}

// The main program that will not end: the watchdog gives up after its time, or the Updater
// kills it after the grace period and goes on.
TEST(UpdaterInstaller, StubbornProgramIsKilledOrTheWatchdogFires)
{
    for (const bool kill : {false, true}) {
        ProgramFolder folder;
        ASSERT_TRUE(QFile::copy("/bin/sh", folder.path("corvanel")));
        ManagedProcess stubborn;
        ASSERT_TRUE(
            stubborn.start(folder.path("corvanel"), {"-c", "trap '' TERM; echo ready; while :; do sleep 0.05; done"}));
        // Once it has said so, it ignores the polite request to end.
        ASSERT_TRUE(waitUntil([&] { return stubborn.output().contains(QLatin1String("ready")); }, 5000));
        ASSERT_TRUE(updater::isOurProgram(stubborn.pid(), folder.dir.path()));
        QStringList messages, started;
        bool quit = false;
        UpdatingHooks hooks = recordingHooks(messages, started, quit);
        hooks.endGraceMs = kill ? 100 : 60000;
        hooks.watchdogMs = kill ? 10000 : 300;
        UpdateInstaller installer(folder.dir.path(), QString::number(stubborn.pid()), hooks);
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return quit; }, 5000));
        if (kill) {
            EXPECT_EQ(messages, QStringList{kComplete});
            EXPECT_TRUE(waitUntil([&] { return !stubborn.running(); }, 2000));
        } else {
            EXPECT_EQ(messages, QStringList{"Error!|" + UpdateInstaller::failureText()});
            EXPECT_TRUE(stubborn.running());
            stubborn.process()->kill();
        }
    }
}

// The whole way: a running corvanel, the update window fetching the listing and two files,
// Yes, the real Updater ending corvanel, installing both files and starting corvanel again.
TEST(UpdaterProgram, RoundTripWithRealProcesses)
{
    ScriptedServer server;
    ProgramFolder folder;
    ASSERT_TRUE(folder.install("updater"));
    ASSERT_TRUE(folder.install("corvanel")) << "build corvanel first";
    QTemporaryDir ipod;
    QString error;
    ASSERT_TRUE(mkipod::makeLargeIpod(ipod.path(), 10, 1, false, &error)) << qPrintable(error);

    ManagedProcess running;
    ASSERT_TRUE(running.start(folder.path("corvanel"), {ipod.path()}, folder.environment));
    ASSERT_TRUE(waitUntil([&] { return updater::isOurProgram(running.pid(), folder.dir.path()); }, 5000));

    const QByteArray newProgram = readFile(binPath("corvanel")) + "\nthe new build\n";
    server.serve("/corvanel.bin", newProgram);
    server.serve("/extra.bin", "extra data");
    server.serve("/version.txt", "// Corvanel\r\n32000::" + server.url("/corvanel.bin") +
                                     "::corvanel.new\r\n32000::" + server.url("/extra.bin") + "::extra.dat.new\r\n");

    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::ScopedDialogs scope(dialogs);
    dialogs.answers.push_back(corvanel::platform::MessageResult::Yes);
    ManagedProcess updater; // its boxes go to its error output
    bool finished = false;
    corvanel::update::UpdaterSetup setup;
    setup.programFolder = folder.dir.path();
    setup.listingAddress = QString::fromLatin1(server.url("/version.txt"));
    // What the main program's RunUpdater does: start the Updater with the process ID.
    updater.setOutputFile(folder.path("updater.log"));
    setup.runUpdater = [&](bool) {
        updater.start(folder.path("updater"), {QString::number(running.pid())}, folder.environment);
    };
    {
        corvanel::update::frmUpdater window(nullptr, setup);
        QObject::connect(&window, &corvanel::update::frmUpdater::finished, [&] { finished = true; });
        window.show();
        ASSERT_TRUE(waitUntil([&] { return finished; }, 30000));
    }
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Update Now?");
    ASSERT_TRUE(waitUntil([&] { return !updater.running(); }, 20000));
    EXPECT_TRUE(updater.output().contains(kComplete)) << qPrintable(updater.output());
    EXPECT_TRUE(waitUntil([&] { return !running.running(); }, 5000));

    EXPECT_EQ(readFile(folder.path("corvanel")), newProgram);
    EXPECT_TRUE(QFileInfo(folder.path("corvanel")).isExecutable());
    EXPECT_EQ(readFile(folder.path("extra.dat")), "extra data");
    EXPECT_EQ(QDir(folder.dir.path()).entryList({"*.new"}, QDir::Files | QDir::Hidden), QStringList());

    QList<qint64> restarted;
    EXPECT_TRUE(waitUntil([&] { return !(restarted = processesRunning(folder.path("corvanel"))).isEmpty(); }, 10000))
        << qPrintable(updater.output()) << qPrintable(running.output());
    EXPECT_FALSE(restarted.contains(running.pid()));
    for (const qint64 pid : restarted)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}
