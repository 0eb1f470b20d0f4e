#include "IpodBuilder.h"
#include "RecordingDialogs.h"
#include "Servers.h"
#include "TestPaths.h"
#include "UpdateInstaller.h"
#include "UpdaterCore.h"
#include "frmUpdater.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvanel;
using namespace corvanel::platform;
using namespace corvanel::update;
using namespace corvanel::updater;

namespace {

const QString kComplete =
    QStringLiteral("Update Complete!|Corvanel has been updated! Now running new version of Corvanel...");

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Processes running the given program file.
QList<qint64> processesRunning(const QString &program)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        char target[4096];
        const QByteArray link = "/proc/" + entry.toLatin1() + "/exe";
        const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
        if (length > 0 && QFile::decodeName(QByteArray(target, length)) == wanted && updater::processAlive(pid))
            found << pid;
    }
    return found;
}

void endAll(const QList<qint64> &pids)
{
    for (const qint64 pid : pids)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

// A throw-away program folder and the environment its programs run in.
struct ProgramFolder
{
    QTemporaryDir dir;
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    ProgramFolder()
    {
        QDir().mkpath(home.path() + QStringLiteral("/runtime"));
        QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + QStringLiteral("/runtime"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("CORVANEL_UPDATER_MESSAGES"), QStringLiteral("stderr"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    bool install(const QString &program) { return QFile::copy(binPath(program), path(program)); }
};

// The Updater as a real process; its boxes go to its error output.
struct UpdaterRun
{
    ManagedProcess process;
    QString output;

    bool run(ProgramFolder &folder, const QStringList &arguments)
    {
        process.setOutputFile(folder.home.filePath(QStringLiteral("updater.log")));
        if (!process.start(folder.path(QStringLiteral("updater")), arguments, folder.environment))
            return false;
        const bool ended = waitUntil([&] { return !process.running(); }, 20000);
        output = process.output();
        return ended;
    }
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
    EXPECT_TRUE(updater::isMainProgram(QStringLiteral("Corvanel")));
    EXPECT_FALSE(updater::isMainProgram(QStringLiteral("corvanel.bak")));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("tool"));
    const QString source = dir.filePath(QStringLiteral("tool.new"));
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
    EXPECT_TRUE(updater::copyOver(source, dir.filePath(QStringLiteral("fresh"))));
    EXPECT_FALSE(updater::copyOver(dir.filePath(QStringLiteral("missing.new")), dir.filePath(QStringLiteral("x"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("fresh"), QStringLiteral("tool"), QStringLiteral("tool.new")}));
}

TEST(UpdaterInstaller, ReadOnlyTargetsFail)
{
    // The main program is retried (eleven attempts), anything else fails at once; files not
    // reached yet stay pending.
    for (const char *blocked : {"corvanel", "a.dat"}) {
        QTemporaryDir dir;
        ASSERT_TRUE(writeFile(dir.filePath(QLatin1String(blocked)), "old"));
        QFile::setPermissions(dir.filePath(QLatin1String(blocked)), QFile::ReadOwner);
        ASSERT_TRUE(writeFile(dir.filePath(QLatin1String(blocked) + QStringLiteral(".new")), "new"));
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("zz.dat.new")), "later"));
        QStringList messages, started;
        bool quit = false;
        UpdateInstaller installer(dir.path(), QStringLiteral("0"), recordingHooks(messages, started, quit));
        installer.start();
        ASSERT_TRUE(waitUntil([&] { return quit; }, 5000));
        EXPECT_EQ(messages, QStringList{QStringLiteral("Error!|") + UpdateInstaller::failureText()});
        EXPECT_TRUE(started.isEmpty());
        EXPECT_EQ(installer.retryCount(), QLatin1String(blocked) == QLatin1String("corvanel") ? 11 : 0);
        EXPECT_EQ(readFile(dir.filePath(QLatin1String(blocked))), "old");
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("zz.dat.new"))));
    }
}

// The main program that will not end: the watchdog gives up after its time, or the Updater
// kills it after the grace period and goes on.
TEST(UpdaterInstaller, StubbornProgramIsKilledOrTheWatchdogFires)
{
    for (const bool kill : {false, true}) {
        ProgramFolder folder;
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sh"), folder.path(QStringLiteral("corvanel"))));
        ManagedProcess stubborn;
        ASSERT_TRUE(stubborn.start(
            folder.path(QStringLiteral("corvanel")),
            {QStringLiteral("-c"), QStringLiteral("trap '' TERM; echo ready; while :; do sleep 0.05; done")}));
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
            EXPECT_EQ(messages, QStringList{QStringLiteral("Error!|") + UpdateInstaller::failureText()});
            EXPECT_TRUE(stubborn.running());
            stubborn.process()->kill();
        }
    }
}

TEST(UpdaterProgram, NothingPendingCompletesAndRestarts)
{
    ProgramFolder folder;
    ASSERT_TRUE(folder.install(QStringLiteral("updater")));
    ASSERT_TRUE(folder.install(QStringLiteral("corvanel")));
    // A process that is not our program is left alone.
    ManagedProcess other;
    ASSERT_TRUE(other.start(QStringLiteral("sleep"), {QStringLiteral("30")}));
    UpdaterRun updater;
    ASSERT_TRUE(updater.run(folder, {QString::number(other.pid())}));
    EXPECT_TRUE(updater.output.contains(kComplete)) << qPrintable(updater.output);
    EXPECT_TRUE(other.running());
    QList<qint64> restarted;
    EXPECT_TRUE(waitUntil(
        [&] { return !(restarted = processesRunning(folder.path(QStringLiteral("corvanel")))).isEmpty(); }, 10000));
    endAll(restarted);
}

TEST(UpdaterProgram, ReadOnlyTargetEndsWithTheFailureMessage)
{
    ProgramFolder folder;
    ASSERT_TRUE(folder.install(QStringLiteral("updater")));
    ASSERT_TRUE(writeFile(folder.path(QStringLiteral("library.dat")), "old"));
    QFile::setPermissions(folder.path(QStringLiteral("library.dat")), QFile::ReadOwner);
    ASSERT_TRUE(writeFile(folder.path(QStringLiteral("library.dat.new")), "new"));
    UpdaterRun updater;
    ASSERT_TRUE(updater.run(folder, {}));
    EXPECT_TRUE(updater.output.contains(QStringLiteral("Error!|") + UpdateInstaller::failureText()))
        << qPrintable(updater.output);
    EXPECT_FALSE(updater.output.contains(QStringLiteral("Update Complete!")));
    EXPECT_EQ(readFile(folder.path(QStringLiteral("library.dat"))), "old");
}

// The whole way: a running corvanel, the update window fetching the listing and two files,
// Yes, the real Updater ending corvanel, installing both files and starting corvanel again.
TEST(UpdaterProgram, RoundTripWithRealProcesses)
{
    TestServers &servers = TestServers::instance();
    REQUIRE_SERVER(port, servers.origin());
    ProgramFolder folder;
    ASSERT_TRUE(folder.install(QStringLiteral("updater")));
    ASSERT_TRUE(folder.install(QStringLiteral("corvanel"))) << "build corvanel first";
    QTemporaryDir ipod;
    QString error;
    ASSERT_TRUE(mkipod::makeLargeIpod(ipod.path(), 10, 1, false, &error)) << qPrintable(error);

    ManagedProcess running;
    ASSERT_TRUE(running.start(folder.path(QStringLiteral("corvanel")), {ipod.path()}, folder.environment));
    ASSERT_TRUE(waitUntil([&] { return updater::isOurProgram(running.pid(), folder.dir.path()); }, 5000));

    const QByteArray newProgram = readFile(binPath(QStringLiteral("corvanel"))) + "\nthe new build\n";
    QDir().mkpath(servers.originRoot() + QStringLiteral("/rt"));
    ASSERT_TRUE(writeFile(servers.originRoot() + QStringLiteral("/rt/corvanel.bin"), newProgram));
    ASSERT_TRUE(writeFile(servers.originRoot() + QStringLiteral("/rt/extra.bin"), "extra data"));
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(port) + "/rt/";
    ASSERT_TRUE(writeFile(servers.originRoot() + QStringLiteral("/rt/version.txt"),
                          "// Corvanel\r\n32000::" + base + "corvanel.bin::corvanel.new\r\n32000::" + base +
                              "extra.bin::extra.dat.new\r\n"));

    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::ScopedDialogs scope(dialogs);
    dialogs.answers.push_back(corvanel::platform::MessageResult::Yes);
    UpdaterRun updater;
    bool finished = false;
    corvanel::update::UpdaterSetup setup;
    setup.programFolder = folder.dir.path();
    setup.listingAddress = QString::fromLatin1(base + "version.txt");
    // What the main program's RunUpdater does: start the Updater with the process ID.
    updater.process.setOutputFile(folder.home.filePath(QStringLiteral("updater.log")));
    setup.runUpdater = [&](bool) {
        updater.process.start(folder.path(QStringLiteral("updater")), {QString::number(running.pid())},
                              folder.environment);
    };
    {
        corvanel::update::frmUpdater window(nullptr, setup);
        QObject::connect(&window, &corvanel::update::frmUpdater::finished, [&] { finished = true; });
        window.show();
        ASSERT_TRUE(waitUntil([&] { return finished; }, 30000));
    }
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, QStringLiteral("Update Now?"));
    ASSERT_TRUE(waitUntil([&] { return !updater.process.running(); }, 20000));
    updater.output = updater.process.output();
    EXPECT_TRUE(updater.output.contains(kComplete)) << qPrintable(updater.output);
    EXPECT_TRUE(waitUntil([&] { return !running.running(); }, 5000));

    EXPECT_EQ(readFile(folder.path(QStringLiteral("corvanel"))), newProgram);
    EXPECT_TRUE(QFileInfo(folder.path(QStringLiteral("corvanel"))).isExecutable());
    EXPECT_EQ(readFile(folder.path(QStringLiteral("extra.dat"))), "extra data");
    EXPECT_EQ(QDir(folder.dir.path()).entryList({QStringLiteral("*.new")}, QDir::Files | QDir::Hidden), QStringList());

    QList<qint64> restarted;
    EXPECT_TRUE(waitUntil(
        [&] { return !(restarted = processesRunning(folder.path(QStringLiteral("corvanel")))).isEmpty(); }, 10000))
        << qPrintable(updater.output) << qPrintable(running.output());
    EXPECT_FALSE(restarted.contains(running.pid()));
    endAll(restarted);
}
