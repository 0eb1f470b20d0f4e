// The real program as a desktop session meets it: Ctrl+C and SIGTERM end it the normal way.
#include "DemoIpod.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// True once the program has a thread whose name starts with `prefix`.
bool hasThread(qint64 pid, const QByteArray &prefix)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith(prefix))
            return true;
    }
    return false;
}

// The program's environment; the leak check is the test binaries' own.
QProcessEnvironment programEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    return environment;
}

using RealProgram = ::testing::TestWithParam<int>;

TEST_P(RealProgram, EndsOnTheSignalWithTheSettingsSaved)
{
    QTemporaryDir home;
    QDir().mkpath(home.filePath("runtime"));
    QFile::setPermissions(home.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(home.filePath("config/Corvanel"));
    {
        QSettings seed(home.filePath("config/Corvanel/Corvanel.ini"), QSettings::IniFormat);
        seed.setValue("Options/Volume", "123");
    }

    QProcess program;
    QProcessEnvironment environment = programEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("SDL_AUDIODRIVER", "dummy");
    environment.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    program.setProcessEnvironment(environment);
    program.start(binPath("corvanel"), {demoIpod()});
    ASSERT_TRUE(program.waitForStarted(10000)) << "build corvanel first";
    // The main window starts the sound engine while it loads; its audio thread says it is up.
    ASSERT_TRUE(QTest::qWaitFor([&] { return hasThread(program.processId(), "SDLAudio"); }, 30000))
        << program.readAllStandardError().toStdString();

    ::kill(static_cast<pid_t>(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(20000)) << "the signal was ignored";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    QSettings saved(home.filePath("config/Corvanel/Corvanel.ini"), QSettings::IniFormat);
    EXPECT_EQ(saved.value("Options/Volume").toString(), "123");
    EXPECT_TRUE(saved.contains("Options/mnuEmbedded")) << "the shutdown wrote the options";
}

INSTANTIATE_TEST_SUITE_P(Signals, RealProgram, ::testing::Values(SIGINT, SIGTERM));

} // namespace

// The command line reads an iPod without its database, and lists the files its database forgot.
TEST(CommandLine, FromTagsAndOrphans)
{
    QTemporaryDir dir;
    const QString ipod = dir.filePath("IPOD");
    QString error;
    QStringList written;
    ASSERT_TRUE(mkipod::makeLargeIpod(ipod, 40, 0, {mkipod::Layout::ITunes7, true, true}, &error))
        << error.toStdString();
    ASSERT_TRUE(mkipod::addExtraSongs(ipod, 3, &error, &written)) << error.toStdString();
    auto run = [](const QStringList &arguments) {
        QProcess program;
        program.setProcessEnvironment(programEnvironment());
        program.start(binPath("corvanel"), arguments);
        program.waitForFinished(60000);
        return std::make_pair(program.exitCode(), program.readAllStandardOutput());
    };

    const auto [orphansCode, orphans] = run({"--orphans", ipod});
    EXPECT_EQ(orphansCode, 0);
    EXPECT_EQ(orphans.count("\"path\""), 3);
    for (const QString &file : written)
        EXPECT_TRUE(orphans.contains(QString(file).replace('/', "\\\\").toUtf8())) << orphans.toStdString();

    ASSERT_TRUE(mkipod::damageDatabase(ipod, mkipod::DatabaseDamage::Removed));
    const auto [printCode, printed] = run({"--print-library", "--from-tags", ipod});
    EXPECT_EQ(printCode, 0);
    EXPECT_EQ(printed.count("\"path\""), 43);
    EXPECT_TRUE(printed.contains("\"title\": \"Track 00039\""));
    EXPECT_TRUE(printed.contains("\"name\": \":: IPOD ::\""));
    const auto [allCode, all] = run({"--orphans", ipod});
    EXPECT_EQ(allCode, 0);
    EXPECT_EQ(all.count("\"path\""), 43) << "without a database every file is unlisted";
    EXPECT_TRUE(all.startsWith("{\"ipod_name\": \"IPOD\"")) << all.left(80).toStdString();

    const QString out = dir.filePath("out");
    EXPECT_EQ(run({"--extract", out, "--format", "[artist]\\[title]", "--from-tags", ipod}).first, 0);
    EXPECT_EQ(QDir(out + "/Lost Artist").entryList({"Forgotten Song *"}, QDir::Files).size(), 3);
    EXPECT_EQ(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 41) << "40 artists and the lost one";
    EXPECT_EQ(run({"--extract", out, "--from-tags", dir.filePath("nothing-here")}).first, 2);
}
