// Copying the program onto the iPod: a fresh copy, an overwrite, the refusal when running from
// the iPod, and the message that names the system's error.
#include "ProgramCopy.h"
#include "DeviceFixture.h"
#include "frmCopyToiPod.h"

#include <QSignalSpy>

#include <cerrno>
#include <cstring>

using namespace corvanel::device;

namespace {

class ProgramCopyTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        // The program folder of a build: the two programs, a library, and files that are not
        // the program's own.
        ASSERT_TRUE(write(program.filePath("corvanel"), QByteArray(300000, 'c')));
        ASSERT_TRUE(write(program.filePath("updater"), "updater v2"));
        ASSERT_TRUE(write(program.filePath("libcorvanel_extra.so.1"), "library"));
        ASSERT_TRUE(write(program.filePath("test_device"), "a test"));
        ASSERT_TRUE(write(program.filePath("PreferencesBackup"), "backup"));
        QFile::setPermissions(program.filePath("corvanel"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList copied() const
    {
        return QDir(ipod.filePath("Corvanel")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    int copy(const QString &programFolder)
    {
        frmCopyToiPod window(ipod.path(), programFolder);
        QSignalSpy finished(&window, &frmCopyToiPod::copyFinished);
        if (!window.start())
            return -1;
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(finished.wait(30000));
        EXPECT_FALSE(window.isVisible());
        return finished.isEmpty() ? -2 : finished.first().first().toInt();
    }
};

} // namespace

TEST_F(ProgramCopyTest, ACopyTakesTheProgramFolderOwnFilesOverAnEarlierOne)
{
    EXPECT_EQ(programFiles(program.path()), (QStringList{"corvanel", "updater", "libcorvanel_extra.so.1"}));
    EXPECT_EQ(copy(program.path()), 0);
    EXPECT_EQ(copied(), (QStringList{"corvanel", "libcorvanel_extra.so.1", "updater"}));
    EXPECT_EQ(read(ipod.filePath("Corvanel/corvanel")), QByteArray(300000, 'c'));
    EXPECT_TRUE(QFileInfo(ipod.filePath("Corvanel/corvanel")).isExecutable());
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Success!");
    EXPECT_EQ(dialogs.last().icon, MessageIcon::Information);
    EXPECT_EQ(dialogs.last().text, "Copy successful!\r\nNow, you can access Corvanel wherever your iPod is!");

    // Again over an older, longer copy and a file of the user's.
    ASSERT_TRUE(write(ipod.filePath("Corvanel/updater"), "updater v1, which was longer"));
    ASSERT_TRUE(write(ipod.filePath("Corvanel/notes.txt"), "the user's"));
    EXPECT_EQ(copy(program.path()), 0);
    EXPECT_EQ(read(ipod.filePath("Corvanel/updater")), "updater v2");
    EXPECT_EQ(copied(), (QStringList{"corvanel", "libcorvanel_extra.so.1", "notes.txt", "updater"}));
    EXPECT_EQ(dialogs.last().title, "Success!");
}

TEST_F(ProgramCopyTest, RunningFromTheiPodRefuses)
{
    const QString onTheiPod = ipod.path() + QStringLiteral("/Corvanel");
    EXPECT_EQ(copy(onTheiPod), -1);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Already there!");
    EXPECT_EQ(dialogs.last().text, "You are running this version of Corvanel off your iPod!!");
    EXPECT_EQ(dialogs.last().icon, MessageIcon::Information);
    EXPECT_FALSE(QFileInfo::exists(ipod.filePath("Corvanel")));
}

TEST_F(ProgramCopyTest, AFailureNamesTheiPodAndTheSystemsErrorAndKeepsWhatWasCopied)
{
    QFile::remove(program.filePath("updater"));
    EXPECT_EQ(copy(program.path()), ENOENT);
    EXPECT_EQ(copied(), QStringList{"corvanel"});
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.last().title, "Error!");
    EXPECT_EQ(dialogs.last().icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.last().text, QStringLiteral("Error while attempting to copy Corvanel to your iPod [Located at %1]"
                                                  "\r\nError %2 : %3")
                                       .arg(ipod.path())
                                       .arg(ENOENT)
                                       .arg(QString::fromLocal8Bit(std::strerror(ENOENT))));

    // The iPod's folder name taken by a file.
    QDir(ipod.filePath("Corvanel")).removeRecursively();
    ASSERT_TRUE(write(ipod.filePath("Corvanel"), "not a folder"));
    EXPECT_EQ(ProgramCopy::copyNow(ipod.path(), program.path()).code, ENOTDIR);
    EXPECT_EQ(ProgramCopy::copyNow(ipod.filePath("gone"), program.path()).code, ENOENT);

    // A mount folder that looks like a placeholder stays as it is.
    EXPECT_EQ(copyFailedMessage(QStringLiteral("/media/u/%2 %3"), 5, QStringLiteral("Gone")).text,
              QStringLiteral("Error while attempting to copy Corvanel to your iPod [Located at /media/u/%2 %3]\r\n"
                             "Error 5 : Gone"));
}

TEST_F(ProgramCopyTest, ALinkOnTheiPodIsNeverFollowedAndIsNamed)
{
    QTemporaryDir outside;
    ASSERT_TRUE(write(outside.filePath("updater"), "the user's"));
    const QString folder = ipod.filePath("Corvanel");
    for (const auto &[link, target] :
         {std::pair{folder, outside.path()}, std::pair{folder + "/updater", outside.filePath("updater")}}) {
        dialogs.clear();
        QFile::remove(folder); // a link, never followed
        QDir(folder).removeRecursively();
        QDir().mkpath(QFileInfo(link).absolutePath());
        ASSERT_TRUE(QFile::link(target, link));
        EXPECT_EQ(copy(program.path()), ELOOP) << link.toStdString();
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.last().title, "Error!");
        EXPECT_TRUE(dialogs.last().text.contains(link + " is a link")) << dialogs.last().text.toStdString();
        EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"updater"});
        EXPECT_EQ(read(outside.filePath("updater")), "the user's");
    }
}
