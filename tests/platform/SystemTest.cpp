// Single instance lock, temporary files and the shell service.
#include "PrivateBus.h"
#include "Shell.h"
#include "SingleInstance.h"
#include "TempFiles.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvanel::platform;

TEST(SingleInstance, SecondCopyIsRefusedUntilTheFirstEnds)
{
    const QString path = SingleInstance::defaultLockPath();
    EXPECT_TRUE(path.endsWith("/corvanel.lock"));
    EXPECT_TRUE(path.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR"))) << qPrintable(path);

    auto first = std::make_unique<SingleInstance>();
    ASSERT_TRUE(first->tryAcquire());
    SingleInstance second;
    EXPECT_FALSE(second.tryAcquire());
    first.reset();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(second.tryAcquire());
}

TEST(SingleInstance, StaleLocksAreTakenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("corvanel.lock");
    QFile file(path);

    // A lock left by a process that has ended.
    QProcess ended;
    ended.start("true");
    ASSERT_TRUE(ended.waitForFinished());
    const qint64 deadPid = ended.processId() > 0 ? ended.processId() : 999999;
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(deadPid) + "\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
               QSysInfo::machineHostName().toUtf8() + "\n");
    file.close();
    EXPECT_TRUE(SingleInstance(path).tryAcquire());

    // An empty lock file: another copy may be writing it, unless it is old.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    SingleInstance instance(path);
    EXPECT_FALSE(instance.tryAcquire());
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    file.close();
    EXPECT_TRUE(instance.tryAcquire());
}

TEST(TempFiles, NamedInTheTemporaryFolderOrRefused)
{
    const std::expected<QString, QString> file = GetTempFile(".m3u");
    ASSERT_TRUE(file.has_value()) << qPrintable(file.error());
    const QFileInfo info(*file);
    EXPECT_EQ(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(info.fileName().startsWith("iTunesDBTemp"));
    EXPECT_TRUE(info.fileName().endsWith(".m3u"));
    EXPECT_EQ(info.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup), QFile::Permissions());
    QFile::remove(*file);
    EXPECT_FALSE(createTempFileIn("/nonexistent/folder", "x").has_value());
    EXPECT_FALSE(GetTempFile("/etc/passwd").has_value());
}

TEST(Shell, DocumentUrlsAndOpenDocument)
{
    EXPECT_EQ(documentUrl("/music/a b#1.mp3"), QUrl::fromLocalFile("/music/a b#1.mp3"));
    EXPECT_EQ(documentUrl("https://www.halvetra.net/corvanel").scheme(), "https");
    EXPECT_EQ(documentUrl("mailto:support@halvetra.net").scheme(), "mailto");
    EXPECT_TRUE(documentUrl("odd:name.mp3").isLocalFile());

    RecordingShell fake;
    ScopedShell scope(fake);
    EXPECT_EQ(&shell(), &fake);

    QTemporaryDir dir;
    const QString program = dir.filePath("player");
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\n", true));
    EXPECT_TRUE(OpenDocument(dir.filePath("song.mp3")));
    EXPECT_EQ(fake.last().kind, RecordingShell::Call::Kind::OpenDocument);

    EXPECT_TRUE(OpenDocument(program, "\"/media/IPOD/a b.mp3\" 1234"));
    EXPECT_EQ(fake.last().kind, RecordingShell::Call::Kind::StartProgram);
    EXPECT_EQ(fake.last().target, program);
    EXPECT_EQ(fake.last().arguments, (QStringList{"/media/IPOD/a b.mp3", "1234"}));

    // A document takes no parameters.
    EXPECT_TRUE(OpenDocument(dir.filePath("list.m3u"), "ignored"));
    EXPECT_EQ(fake.last().kind, RecordingShell::Call::Kind::OpenDocument);
    EXPECT_EQ(fake.count(), 3u);
}

namespace {

class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList uris;
    QString startupId;
    int calls = 0;

public slots:
    void ShowItems(const QStringList &itemUris, const QString &id)
    {
        uris = itemUris;
        startupId = id;
        ++calls;
    }
};

// Records the folder opened when no file manager answers.
class FallbackShell : public DesktopShell
{
public:
    using DesktopShell::DesktopShell;
    QStringList opened;
    bool openDocument(const QString &pathOrUrl) override
    {
        opened << pathOrUrl;
        return true;
    }
};

} // namespace

TEST(Shell, ShowInFileManagerOverDBus)
{
    PrivateBus bus;
    CORVANEL_REQUIRE_BUS(bus);
    const auto disconnect = qScopeGuard([] {
        QDBusConnection::disconnectFromBus("fm-client");
        QDBusConnection::disconnectFromBus("fm-server");
    });
    QDBusConnection client = QDBusConnection::connectToBus(bus.address, "fm-client");
    QDBusConnection server = QDBusConnection::connectToBus(bus.address, "fm-server");
    ASSERT_TRUE(client.isConnected());
    ASSERT_TRUE(server.isConnected());

    QTemporaryDir dir;
    const QString song = dir.filePath("My Song.mp3");
    QFile(song).open(QIODevice::WriteOnly);

    FakeFileManager manager;
    ASSERT_TRUE(server.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService("org.freedesktop.FileManager1"));
    FallbackShell withManager(client);
    EXPECT_TRUE(withManager.showInFileManager(song));
    EXPECT_TRUE(QTest::qWaitFor([&] { return manager.calls == 1; }));
    EXPECT_EQ(manager.uris, QStringList{QUrl::fromLocalFile(song).toString()});
    EXPECT_EQ(manager.startupId, "");

    // Nobody owns the name: the folder is opened instead. The bus answers in order, so the
    // file manager's reply has been handled once this error arrives; it opened nothing.
    ASSERT_TRUE(server.unregisterService("org.freedesktop.FileManager1"));
    FallbackShell withoutManager(client);
    EXPECT_TRUE(withoutManager.showInFileManager(song));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !withoutManager.opened.isEmpty(); }));
    EXPECT_EQ(withoutManager.opened, QStringList{QFileInfo(dir.path()).absoluteFilePath()});
    EXPECT_TRUE(withManager.opened.isEmpty());

    // Without a bus at all the folder is opened at once.
    FallbackShell noBus(QDBusConnection(QStringLiteral("not connected")));
    EXPECT_TRUE(noBus.showInFileManager(song));
    EXPECT_EQ(noBus.opened.size(), 1);
}

#include "SystemTest.moc"
