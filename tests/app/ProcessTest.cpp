// The real program as a desktop session meets it: Ctrl+C and SIGTERM end it the normal way.
#include "DemoIpod.h"
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

struct Finished
{
    int code = -1;
    QByteArray out, err;
};

Finished runCorvanel(const QStringList &arguments)
{
    QProcess program;
    program.setProcessEnvironment(programEnvironment());
    program.start(binPath("corvanel"), arguments);
    program.waitForFinished(60000);
    return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
}

// Every file below the iPod's Music folder, names and bytes.
QByteArray musicDigest(const QString &ipod)
{
    QStringList files;
    for (QDirIterator it(ipod + "/iPod_Control/Music", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    files.sort();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &file : files) {
        QFile in(file);
        hash.addData(file.toUtf8());
        if (in.open(QIODevice::ReadOnly))
            hash.addData(in.readAll());
    }
    return hash.result();
}

} // namespace

// A library that cannot be read, or a destination on the iPod, is said and ends with status 2
// before anything is copied.
TEST(CommandLine, ExtractRefusesWhatItCannotDo)
{
    enum class Setup { Healthy, Removed, Corrupted, Emptied, EmptyFile };
    const struct
    {
        Setup setup;
        QStringList arguments; // IPOD and OUT stand for the folders
        int code;
        const char *said;
    } cases[] = {
        {Setup::Removed, {"--extract", "OUT", "IPOD"}, 2, "the database file is missing or cannot be read"},
        {Setup::Corrupted, {"--extract", "OUT", "IPOD"}, 2, "is not an iTunesDB database"},
        {Setup::EmptyFile, {"--extract", "OUT", "IPOD/iPod_Control/iTunes/iTunesDB"}, 2, "the file is empty"},
        {Setup::Emptied, {"--extract", "OUT", "IPOD"}, 2, "the database lists no songs"},
        {Setup::Healthy,
         {"--extract", "IPOD", "--format", "iPod_Control/Music/F01/[title]", "IPOD"},
         2,
         "cannot be extracted into the iPod itself"},
        {Setup::Healthy, {"--extract", "IPOD/iPod_Control/../iPod_Control/Music", "IPOD"}, 2, "into the iPod itself"},
        {Setup::Corrupted, {"--print-library", "IPOD"}, 2, "is not an iTunesDB database"},
        {Setup::Healthy, {"--print-library", "IPOD"}, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QTemporaryDir dir;
        const QString ipod = dir.filePath("IPOD"), out = dir.filePath("out");
        ASSERT_TRUE(mkipod::makeLargeIpod(ipod, 3, 0, {mkipod::Layout::ITunes7, true, false}));
        const QString database = ipod + "/iPod_Control/iTunes/iTunesDB";
        if (c.setup == Setup::EmptyFile) {
            ASSERT_TRUE(QFile::resize(database, 0));
        } else if (c.setup != Setup::Healthy) {
            using mkipod::DatabaseDamage;
            const DatabaseDamage damage = c.setup == Setup::Removed     ? DatabaseDamage::Removed
                                          : c.setup == Setup::Corrupted ? DatabaseDamage::Corrupted
                                                                        : DatabaseDamage::Emptied;
            ASSERT_TRUE(mkipod::damageDatabase(ipod, damage));
        }
        const QByteArray before = musicDigest(ipod);
        QStringList arguments = c.arguments;
        arguments.replaceInStrings("IPOD", ipod).replaceInStrings("OUT", out);
        const Finished run = runCorvanel(arguments);
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.said)) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("songs extracted")) << run.err.toStdString();
        EXPECT_EQ(musicDigest(ipod), before);
        EXPECT_FALSE(QFileInfo::exists(out));
        if (c.arguments.first() == "--print-library") {
            // The document itself names the problem, as a box would.
            const QJsonArray errors = QJsonDocument::fromJson(run.out)["warnings"]["errors"].toArray();
            EXPECT_EQ(errors.size(), c.code == 0 ? 0 : 1) << run.out.toStdString();
            EXPECT_TRUE(errors.isEmpty() || errors.last().toString().contains(c.said));
        }
    }
}

// Ctrl+C or SIGTERM during a copy: the unfinished file goes, and the status tells which signal.
// The song is a pipe that the test feeds, so the copy is surely under way when the signal comes.
using StoppedExtraction = ::testing::TestWithParam<std::pair<int, int>>;

TEST_P(StoppedExtraction, RemovesTheUnfinishedFile)
{
    const auto [signal, status] = GetParam();
    QTemporaryDir dir;
    const QString ipod = dir.filePath("IPOD"), out = dir.filePath("out");
    mkipod::Track track;
    track.id = 7, track.title = "Slow", track.location = ":iPod_Control:Music:F00:SLOW.mp3";
    mkipod::Database db;
    db.tracks = {track};
    db.playlists = {{"Pod", {7}, true}};
    ASSERT_TRUE(mkipod::writeIpod(ipod, db, std::nullopt));
    const QByteArray song = QFile::encodeName(ipod + "/iPod_Control/Music/F00/SLOW.mp3");
    ASSERT_EQ(::mkfifo(song.constData(), 0644), 0);

    QProcess program;
    program.setProcessEnvironment(programEnvironment());
    program.start(binPath("corvanel"), {"--extract", out, "--format", "[title]", ipod});
    int feed = -1;
    for (QDeadlineTimer opened(30000); feed < 0 && !opened.hasExpired(); QThread::msleep(10))
        feed = ::open(song.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(feed, 0) << program.readAllStandardError().toStdString();
    const QByteArray block(4096, 'x');
    ASSERT_EQ(::write(feed, block.constData(), block.size()), block.size());
    QStringList parts;
    for (QDeadlineTimer copying(30000); parts.isEmpty() && !copying.hasExpired(); QThread::msleep(10))
        parts = QDir(out).entryList({"*.part"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(parts.size(), 1);

    ::kill(static_cast<pid_t>(program.processId()), signal);
    // More bytes wake the copy wherever the signal landed; it stops before the next block. A
    // write after the program has gone must not end the test.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    for (QDeadlineTimer ended(30000); !program.waitForFinished(20) && !ended.hasExpired();)
        [[maybe_unused]] const ssize_t n = ::write(feed, block.constData(), block.size());
    ::close(feed);
    std::signal(SIGPIPE, previous);
    ASSERT_EQ(program.state(), QProcess::NotRunning);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), status);
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_TRUE(program.readAllStandardError().contains("the unfinished copy was removed"));
}

INSTANTIATE_TEST_SUITE_P(Signals, StoppedExtraction,
                         ::testing::Values(std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}));

// Files the tag scan cannot read are named, each on a line of its own, and --extract ends with 1
// since their songs were not copied; --orphans lists them with sizes that add up to its total.
TEST(CommandLine, WhatCannotBeReadIsNamed)
{
    QTemporaryDir dir;
    const QString ipod = dir.filePath("IPOD");
    QString error;
    ASSERT_TRUE(mkipod::makeLargeIpod(ipod, 2, 0, {mkipod::Layout::ITunes7, true, true}, &error))
        << error.toStdString();
    ASSERT_TRUE(mkipod::addExtraSongs(ipod, 1, &error)) << error.toStdString();
    const QByteArray folder = QFile::encodeName(ipod) + "/iPod_Control/Music/F00/";
    // QDir cannot remove a name that is not UTF-8.
    const auto removeAll = qScopeGuard([&] { QProcess::execute("rm", {"-rf", dir.path()}); });
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(folder)));
    for (const char *name : {"NOISE.mp3", "BAD\xff.mp3"}) {
        const QByteArray bytes(20000, 'Z');
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
        ::close(fd);
    }
    const Finished extract = runCorvanel({"--extract", dir.filePath("out"), "--from-tags", ipod});
    EXPECT_EQ(extract.code, 1);
    EXPECT_TRUE(extract.err.contains("not readable as a song: " + QFile::encodeName(ipod) +
                                     "/iPod_Control/Music/F00/NOISE.mp3\n"))
        << extract.err.toStdString();
    EXPECT_TRUE(extract.err.contains("/iPod_Control/Music/F00/BAD\xef\xbf\xbd.mp3\n")) << extract.err.toStdString();
    EXPECT_TRUE(extract.err.contains("3 songs extracted"));

    const Finished orphans = runCorvanel({"--orphans", ipod});
    EXPECT_EQ(orphans.code, 0);
    const QJsonObject report = QJsonDocument::fromJson(orphans.out).object();
    qint64 shown = 0;
    for (const char *list : {"songs", "unreadable_files"})
        for (const QJsonValue &file : report[list].toArray())
            shown += file["size"].toInteger();
    EXPECT_EQ(report["unreadable_files"].toArray().size(), 2);
    EXPECT_GT(shown, 40000) << "the song and the two unreadable files";
    EXPECT_EQ(report["total_size"].toInteger(), shown);
}
