#include "DataConnection.h"
#include "RecordingDialogs.h"
#include "Servers.h"
#include "TestFiles.h"
#include "UpdateListing.h"
#include "frmUpdater.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace corvanel;
using namespace corvanel::platform;

using namespace corvanel::update;

namespace {

const QString kErrorTitle = "Error in download!";

class UpdateWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("CORVANEL_UPDATE_SERVER", "127.0.0.1:" + QByteArray::number(m_server.port()));
        clearProxyVariables();
    }
    void TearDown() override
    {
        qunsetenv("CORVANEL_UPDATE_SERVER");
        clearProxyVariables();
    }
    static void clearProxyVariables()
    {
        for (const char *name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            qunsetenv(name);
    }

    void serve(const QByteArray &name, const QByteArray &contents) { m_server.serve("/files/" + name, contents); }
    void listing(const QByteArray &text) { m_server.serve("/downloads/corvanel/version.txt", text); }
    QByteArray fileAddress(const QByteArray &name) const { return m_server.url("/files/" + name); }

    // Runs the check to its end at version 75 (0.7.5).
    void run(const std::function<void(frmUpdater &)> &whileRunning = {})
    {
        UpdaterSetup setup;
        setup.programFolder = m_folder.path();
        setup.localVersion = 75;
        setup.runUpdater = [this](bool fromStartup) { m_handOvers << fromStartup; };
        frmUpdater window(nullptr, setup);
        bool finished = false;
        QObject::connect(&window, &frmUpdater::finished, [&] { finished = true; });
        window.show();
        if (whileRunning)
            whileRunning(window);
        EXPECT_TRUE(waitUntil([&] { return finished; }, 20000));
        EXPECT_FALSE(window.isVisible());
    }

    QStringList folderFiles() const { return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QByteArray folderFile(const QString &name) const { return readFile(m_folder.filePath(name)); }
    void install(const QString &name, const QByteArray &contents, mode_t mode)
    {
        ASSERT_TRUE(writeFile(m_folder.filePath(name), contents));
        ASSERT_EQ(::chmod(QFile::encodeName(m_folder.filePath(name)).constData(), mode), 0);
    }
    mode_t folderMode(const QString &name) const
    {
        struct stat info = {};
        return ::stat(QFile::encodeName(m_folder.filePath(name)).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    ScriptedServer m_server;
    QTemporaryDir m_folder;
    corvanel::platform::RecordingDialogs m_dialogs;
    corvanel::platform::ScopedDialogs m_scope{m_dialogs};
    QList<bool> m_handOvers;
};

} // namespace

TEST(UpdateListing, LinesAndNumbers)
{
    EXPECT_EQ(parseListingLine(QString(), 75).kind, ListingLineKind::Comment);
    EXPECT_EQ(parseListingLine("//76::a::b", 75).kind, ListingLineKind::Comment);
    EXPECT_EQ(parseListingLine("75::http://h/a::a.new", 75).kind, ListingLineKind::NotNewer);
    EXPECT_EQ(parseListingLine("70", 75).kind, ListingLineKind::NotNewer);
    const ListingLine newer = parseListingLine(" 76abc::http://h/a::a.new::ignored", 75);
    EXPECT_EQ(newer.kind, ListingLineKind::Download);
    EXPECT_EQ(newer.version, 76);
    EXPECT_EQ(newer.address, "http://h/a");
    EXPECT_EQ(newer.fileName, "a.new");
    for (const char *bad : {"76::http://h/a", "76", "99999::http://h/a::a.new", "76::u::", "76::u::.", "76::u::..",
                            "76::u::../a.new", "76::u::/tmp/a.new", "76::u::a\\b.new"})
        EXPECT_EQ(parseListingLine(QLatin1String(bad), 75).kind, ListingLineKind::Error) << bad;

    EXPECT_EQ(splitListing("a\r\nb\nc"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(localVersionNumber(0, 7, 5).value(), 75);
    EXPECT_FALSE(localVersionNumber(400, 0, 0).has_value());
}

TEST_F(UpdateWindow, NoUpdatesThenOnlyNewerFilesAndYesHandsOver)
{
    // A listing of comments only: nothing to fetch, the listing is kept as "version".
    listing("// nothing here yet\r\n//76::http://127.0.0.1:1/x::x.new\r\n");
    run();
    ASSERT_EQ(m_dialogs.count(), 1u);
    EXPECT_EQ(m_dialogs.last().title, "No Updates!");
    EXPECT_EQ(folderFiles(), QStringList{"version"});
    EXPECT_EQ(folderFile("version"), "// nothing here yet\r\n//76::http://127.0.0.1:1/x::x.new\r\n");
    EXPECT_TRUE(m_handOvers.isEmpty());

    m_dialogs.clear();
    serve("old.bin", "old");
    serve("new.bin", pattern(5000, 3));
    listing("75::" + fileAddress("old.bin") + "::old.new\r\n76::" + fileAddress("new.bin") + "::corvanel.new\r\n");
    m_dialogs.answers.push_back(MessageResult::Yes);
    run();
    EXPECT_EQ(folderFiles(), (QStringList{"corvanel.new", "version"}));
    EXPECT_EQ(folderFile("corvanel.new"), pattern(5000, 3));
    ASSERT_EQ(m_dialogs.count(), 1u);
    EXPECT_EQ(m_dialogs.last().title, "Update Now?");
    EXPECT_EQ(m_handOvers, QList<bool>{false});

    // No: nothing is handed over, the files stay for the next start.
    m_dialogs.clear();
    m_handOvers.clear();
    m_dialogs.answers.push_back(MessageResult::No);
    listing("// no newer lines; the file of the earlier run still waits\r\n");
    run();
    EXPECT_EQ(m_dialogs.last().title, "Update Now?");
    EXPECT_TRUE(m_handOvers.isEmpty());
    EXPECT_TRUE(QFile::exists(m_folder.filePath("corvanel.new")));
}

TEST_F(UpdateWindow, TwoFilesShowTheirProgressInTurn)
{
    serve("one.bin", pattern(300000, 1));
    serve("two.bin", pattern(200000, 2));
    listing("// two files\r\n80::" + fileAddress("one.bin") + "::one.dat.new\r\n81::" + fileAddress("two.bin") +
            "::two.dat\r\n");
    QStringList texts;
    int fullBar = 0;
    int barMaximum = -1;
    run([&](frmUpdater &window) {
        barMaximum = window.shpProgress->maximum();
        QObject::connect(window.RemoteFile, &corvanel::update::DataConnection::BytesReceived, [&] {
            if (texts.isEmpty() || texts.last() != window.lblUpdate->text())
                texts << window.lblUpdate->text();
            fullBar = std::max(fullBar, window.shpProgress->value());
        });
    });
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.last(), "Downloaded 100% of file 2");
    EXPECT_GE(texts.indexOf("Downloaded 100% of file 1"), 0);
    EXPECT_LT(texts.indexOf("Downloaded 100% of file 1"), texts.indexOf("Downloaded 100% of file 2"));
    for (const QString &text : texts)
        // The listing itself is file 0.
        EXPECT_TRUE(QRegularExpression("^Downloaded \\d+% of file [012]$").match(text).hasMatch()) << qPrintable(text);
    EXPECT_EQ(fullBar, barMaximum);
    EXPECT_EQ(folderFile("one.dat.new"), pattern(300000, 1));
    EXPECT_EQ(folderFile("two.dat"), pattern(200000, 2));
    EXPECT_EQ(m_dialogs.last().title, "Update Now?");
}

TEST_F(UpdateWindow, UnknownLengthLeavesTheBarEmpty)
{
    m_server.script("/files/stream", {"HTTP/1.0 200 OK\r\n\r\n" + pattern(5000)});
    listing("90::" + fileAddress("stream") + "::stream.new\r\n");
    int largest = 0;
    QString text;
    run([&](frmUpdater &window) {
        QObject::connect(window.RemoteFile, &corvanel::update::DataConnection::BytesReceived, [&] {
            if (window.fileCounter() == 0)
                return;
            largest = std::max(largest, window.shpProgress->value());
            text = window.lblUpdate->text();
        });
    });
    EXPECT_EQ(largest, 0);
    EXPECT_EQ(text, "Please wait...");
    EXPECT_EQ(folderFile("stream.new").size(), 5000);
}

TEST_F(UpdateWindow, ClosingDuringADownloadAsksNothing)
{
    m_server.script("/files/silent", {{}, ScriptedServer::Then::Stay});
    listing("90::" + fileAddress("silent") + "::corvanel.new\r\n");
    run([&](frmUpdater &window) {
        ASSERT_TRUE(waitUntil([&] { return window.fileCounter() == 1 && window.RemoteFile->IsConnected(); }, 10000));
        window.close();
    });
    EXPECT_EQ(m_dialogs.count(), 0u);
    EXPECT_EQ(folderFiles(), QStringList{"version"});
}

// The check goes through the proxy that the environment names, unless no_proxy names the
// server; a proxy that cannot be reached or used ends as an unreachable server does.
TEST_F(UpdateWindow, ChecksThroughTheEnvironmentsProxy)
{
    REQUIRE_PROXY(tiny, TestProxies::instance().tinyproxy());
    REQUIRE_PROXY(socks, TestProxies::instance().danted());
    listing("// nothing newer\r\n");
    const QString noUpdates = QStringLiteral("There are no updates for your version of Corvanel!");
    const QString proxyFailure = failureText(int(DownloadFailure::ConnectProxy));
    const QByteArray dead = "127.0.0.1:" + QByteArray::number(freePort());
    const struct
    {
        const char *name;
        QByteArray value;
        const char *noProxy;
        QString firstText;
    } cases[] = {
        {"http_proxy", "http://127.0.0.1:" + QByteArray::number(tiny), "", noUpdates},
        {"all_proxy", "socks5h://127.0.0.1:" + QByteArray::number(socks), "", noUpdates},
        {"HTTP_PROXY", "socks4://127.0.0.1:" + QByteArray::number(socks), "", noUpdates},
        {"http_proxy", "http://" + dead, "", proxyFailure},
        {"http_proxy", "http://" + dead, "localhost, 127.0.0.1", noUpdates},
        {"all_proxy", "https://" + dead, "", proxyFailure},
    };
    for (const auto &c : cases) {
        m_dialogs.clear();
        clearProxyVariables();
        qputenv(c.name, c.value);
        qputenv("no_proxy", c.noProxy);
        run();
        ASSERT_GE(m_dialogs.count(), 1u) << c.name << "=" << c.value.constData();
        EXPECT_EQ(m_dialogs.calls[0].text, c.firstText) << c.name << "=" << c.value.constData();
    }
}

// A copy installed by a package never writes beside its programs: a newer version is only told.
TEST_F(UpdateWindow, PackagedCopyOnlyTellsOfNewerVersions)
{
    install(QString::fromLatin1(kPackagedMarker), "", 0644);
    serve("new.bin", "new");
    listing("76::" + fileAddress("new.bin") + "::corvanel.new\r\n");
    run();
    ASSERT_EQ(m_dialogs.count(), 1u);
    EXPECT_EQ(m_dialogs.last().title, QStringLiteral("Update Available"));
    EXPECT_TRUE(m_dialogs.last().text.contains(QStringLiteral("package manager")));
    EXPECT_EQ(folderFiles(), QStringList{QString::fromLatin1(kPackagedMarker)});
    EXPECT_TRUE(m_handOvers.isEmpty());

    m_dialogs.clear();
    listing("// nothing newer\r\n");
    run();
    ASSERT_EQ(m_dialogs.count(), 1u);
    EXPECT_EQ(m_dialogs.last().title, QStringLiteral("No Updates!"));
}

// A listing line may name an installed program directly. A download that fails, or whose
// file cannot take its name, leaves what was installed exactly as it was; files finished
// before the failure stay, and the lines after it are never begun.
TEST_F(UpdateWindow, FailedDownloadLeavesInstalledFilesAlone)
{
    serve("good.bin", "good");
    m_server.script("/files/early", {"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + pattern(400)});
    install("corvanel", "the installed program", 0755);
    listing("90::" + fileAddress("good.bin") + "::good.new\r\n91::" + fileAddress("early") +
            "::corvanel\r\n92::" + fileAddress("good.bin") + "::never.new\r\n");
    run();
    ASSERT_EQ(m_dialogs.count(), 2u);
    EXPECT_EQ(m_dialogs.calls[0].text, failureText(int(DownloadFailure::ClosedEarly)));
    EXPECT_EQ(m_dialogs.calls[1].title, kErrorTitle);
    EXPECT_EQ(folderFile("corvanel"), "the installed program");
    EXPECT_EQ(folderMode("corvanel"), 0755u);
    EXPECT_EQ(folderFiles(), (QStringList{"corvanel", "good.new", "version"}));
    EXPECT_TRUE(m_handOvers.isEmpty());

    // The downloaded file cannot replace a folder: the folder and what it holds stay.
    m_dialogs.clear();
    install("data/inside", "kept", 0644);
    listing("90::" + fileAddress("good.bin") + "::data\r\n");
    run();
    ASSERT_EQ(m_dialogs.count(), 1u);
    EXPECT_EQ(m_dialogs.last().title, kErrorTitle);
    EXPECT_EQ(folderFile("data/inside"), "kept");
    EXPECT_EQ(folderFiles(), (QStringList{"corvanel", "good.new", "version"}));
}

// A replaced file keeps its mode (the programs stay runnable); a new file gets the mode of
// any new file of the user's.
TEST_F(UpdateWindow, DownloadedFilesKeepOrTakeOrdinaryModes)
{
    serve("program.bin", "the new program");
    serve("data.bin", "data");
    install("corvanel", "old program", 0755);
    install("updater", "old updater", 0750);
    install("shared.dat", "old data", 0660);
    listing("90::" + fileAddress("program.bin") + "::corvanel\r\n90::" + fileAddress("program.bin") +
            "::updater\r\n90::" + fileAddress("data.bin") + "::shared.dat\r\n90::" + fileAddress("data.bin") +
            "::fresh.dat.new\r\n");
    const mode_t saved = ::umask(027);
    run();
    ::umask(saved);
    EXPECT_EQ(m_dialogs.last().title, "Update Now?");
    EXPECT_EQ(folderFile("corvanel"), "the new program");
    EXPECT_EQ(folderMode("corvanel"), 0755u);
    EXPECT_EQ(folderMode("updater"), 0750u);
    EXPECT_EQ(folderFile("shared.dat"), "data");
    EXPECT_EQ(folderMode("shared.dat"), 0660u);
    EXPECT_EQ(folderMode("fresh.dat.new"), 0640u);
    EXPECT_EQ(folderMode("version"), 0640u);
}
