// The folder chooser: the error outside the dialog, choosing and cancelling, the edit box, the
// start folder, New Folder.
#include "RecordingDialogs.h"
#include "clsBrowseFolder.h"
#include "clsBrowseFolderDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace corvanel::platform;

// Readable failure messages for paths.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using Drive = std::function<void(clsBrowseFolderDialog &)>;

class BrowseFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setDialogs(&dialogs);
        ASSERT_TRUE(temp.isValid());
        root = QDir::cleanPath(temp.path());
        for (const char *folder : {"Music Box", "Music Box/Inner", "Other"})
            ASSERT_TRUE(QDir(root).mkpath(folder));
        ASSERT_TRUE(QFile(path("Music Box/song.mp3")).open(QIODevice::WriteOnly));
    }
    void TearDown() override { setDialogs(nullptr); }

    QString path(const QString &relative) const { return root + QLatin1Char('/') + relative; }

    // BrowseForFolder with drive run once the dialog is up; a dialog left open is cancelled.
    QString browse(const Drive &drive)
    {
        leftOpen = false;
        const auto connection = QObject::connect(
            &browser, &clsBrowseFolder::Initialized, &browser,
            [&] {
                auto *dialog = qobject_cast<clsBrowseFolderDialog *>(browser.dialogWindow());
                ASSERT_NE(dialog, nullptr);
                drive(*dialog);
                if (browser.isShown()) {
                    leftOpen = true;
                    dialog->finish(QDialog::Rejected);
                }
            },
            Qt::DirectConnection);
        const QString chosen = browser.BrowseForFolder();
        QObject::disconnect(connection);
        return chosen;
    }

    RecordingDialogs dialogs;
    QTemporaryDir temp;
    QString root;
    clsBrowseFolder browser;
    bool leftOpen = false;
};

TEST_F(BrowseFolderTest, CallsMeantForTheDialogFailWhileNoneIsShown)
{
    const std::function<void()> calls[] = {
        [&] { browser.SetStatus("x"); },
        [&] { browser.SetFolder(root); },
        [&] { (void)browser.dialogWindow(); },
    };
    auto expect26002 = [&](const char *when) {
        for (const auto &call : calls) {
            try {
                call();
                ADD_FAILURE() << "no error " << when;
            } catch (const BrowseFolderError &error) {
                EXPECT_EQ(error.number, 26002) << when;
                EXPECT_STREQ(error.what(), "Operation invalid unless dialog is displayed.") << when;
                EXPECT_EQ(error.source, "Corvanel.cBrowseForFolder") << when;
            }
        }
    };
    expect26002("before");
    browse([&](clsBrowseFolderDialog &) {
        EXPECT_NO_THROW(browser.SetStatus("x"));
        EXPECT_NO_THROW(browser.SetFolder(root));
    });
    expect26002("after");
}

TEST_F(BrowseFolderTest, OkGivesTheChosenFolderAndCancellingForgetsIt)
{
    browser.setInitialDir(path("Other"));
    EXPECT_EQ(browse([&](clsBrowseFolderDialog &dialog) {
                  EXPECT_EQ(dialog.currentPath(), path("Other"));
                  EXPECT_EQ(dialog.windowTitle(), "Choose Folder");
                  EXPECT_EQ(dialog.lblText->text(), "Choose Folder");
                  browser.SetFolder(path("Music Box"));
                  dialog.cmdOK->click();
              }),
              path("Music Box"));
    EXPECT_EQ(browser.DisplayName(), "Music Box");
    EXPECT_FALSE(leftOpen);
    EXPECT_FALSE(browser.isShown());

    const std::pair<const char *, Drive> ways[] = {
        {"Cancel", [](clsBrowseFolderDialog &dialog) { dialog.cmdCancel->click(); }},
        {"Escape", [](clsBrowseFolderDialog &dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }},
        // The last word counts: a cancel right after OK still cancels.
        {"OK, then reject",
         [](clsBrowseFolderDialog &dialog) {
             dialog.accept();
             dialog.reject();
         }},
    };
    for (const auto &[name, cancel] : ways) {
        ASSERT_EQ(browse([](clsBrowseFolderDialog &dialog) { dialog.accept(); }), path("Other")) << name;
        EXPECT_EQ(browse(cancel), "") << name;
        EXPECT_EQ(browser.DisplayName(), "") << name;
        EXPECT_FALSE(leftOpen) << name;
    }
}

TEST_F(BrowseFolderTest, FilesCountOnlyWhereTheFlagsAllowThem)
{
    const QString song = path("Music Box/song.mp3");
    const struct
    {
        bool includeFiles, fileSystemOnly;
        QString selected, chosen;
    } rows[] = {
        // Listed but not a folder: OK is refused, and forcing it gives nothing.
        {true, true, song, ""},
        // Files allowed: the file is the choice.
        {true, false, song, song},
        // Not listed: the file cannot be selected and the folder stays chosen.
        {false, true, path("Music Box"), path("Music Box")},
    };
    for (const auto &row : rows) {
        browser.setIncludeFiles(row.includeFiles);
        browser.setFileSystemOnly(row.fileSystemOnly);
        browser.setInitialDir(path("Music Box"));
        const QString chosen = browse([&](clsBrowseFolderDialog &dialog) {
            browser.SetFolder(song);
            EXPECT_EQ(dialog.currentPath(), row.selected);
            EXPECT_EQ(dialog.okEnabled(), !row.chosen.isEmpty());
            dialog.accept();
        });
        EXPECT_EQ(chosen, row.chosen) << row.includeFiles << row.fileSystemOnly;
        EXPECT_EQ(browser.DisplayName(), row.chosen.isEmpty() ? "" : QDir(row.chosen).dirName());
    }
}

class BrowseFolderEditBoxTest : public BrowseFolderTest
{
protected:
    void SetUp() override
    {
        BrowseFolderTest::SetUp();
        browser.setEditBox(true);
        browser.setStatusText(true);
        browser.setValidateEditBox(true);
        browser.setInitialDir(path("Music Box"));
    }
    static void type(clsBrowseFolderDialog &dialog, const QString &text)
    {
        dialog.txtPath->clear();
        QTest::keyClicks(dialog.txtPath, text);
    }
};

TEST_F(BrowseFolderEditBoxTest, HandlerKeepsTheDialogOpenForAnotherTry)
{
    QStringList failures;
    QObject::connect(
        &browser, &clsBrowseFolder::ValidationFailed, &browser,
        [&](const QString &typed, bool &keepOpen) {
            EXPECT_FALSE(keepOpen);
            failures << typed;
            keepOpen = true;
        },
        Qt::DirectConnection);
    EXPECT_EQ(browse([&](clsBrowseFolderDialog &dialog) {
                  type(dialog, "nowhere");
                  dialog.cmdOK->click();
                  EXPECT_TRUE(browser.isShown());
                  EXPECT_EQ(dialog.status(), "Path invalid: nowhere");
                  EXPECT_FALSE(dialog.okEnabled());
                  type(dialog, "Inner");
                  EXPECT_TRUE(dialog.okEnabled());
                  dialog.cmdOK->click();
              }),
              path("Music Box/Inner"));
    EXPECT_EQ(failures, QStringList{"nowhere"});
    EXPECT_FALSE(leftOpen);
}

// A stored start folder that is gone (a removed extraction folder) starts at home instead.
TEST_F(BrowseFolderTest, AMissingStartFolderIsIgnored)
{
    for (const auto &[initial, selected] :
         {std::pair{path("gone/away"), QDir::homePath()}, {path("Other"), path("Other")}}) {
        browser.setInitialDir(initial);
        browse([&](clsBrowseFolderDialog &dialog) { EXPECT_EQ(dialog.currentPath(), selected); });
        EXPECT_TRUE(leftOpen);
    }
}

TEST_F(BrowseFolderTest, MainUseShowsNewFolderOverTheOwner)
{
    QWidget owner;
    browser.sethWndOwner(&owner);
    browser.setUseNewUI(true);
    browser.setFileSystemOnly(true);
    browser.setIncludeFiles(true);
    browse([&](clsBrowseFolderDialog &dialog) {
        EXPECT_EQ(dialog.parentWidget(), &owner);
        EXPECT_NE(dialog.cmdNewFolder, nullptr);
        // Asking again from inside gives nothing and leaves this dialog up.
        EXPECT_EQ(browser.BrowseForFolder(), "");
        EXPECT_TRUE(browser.isShown());
    });
}

TEST_F(BrowseFolderTest, NewFolderIsMadeInTheSelectionAndSelected)
{
    QDir(root).mkpath("Other/Taken");
    const struct
    {
        std::optional<QString> answer;
        QString made;   // "" when nothing is made
        bool complaint; // a message explains why not
    } rows[] = {
        {QString("Fresh"), path("Other/Fresh"), false},
        {QString("  Spaced  "), path("Other/Spaced"), false},
        {std::nullopt, "", false},
        {QString("Taken"), "", true},
        {QString("Taken/Inner"), "", true},
        {QString("  "), "", true},
    };
    browser.setUseNewUI(true);
    browser.setInitialDir(path("Other"));
    for (const auto &row : rows) {
        dialogs.clear();
        dialogs.inputAnswers.push_back(row.answer);
        const QStringList before = QDir(path("Other")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        const QString chosen = browse([&](clsBrowseFolderDialog &dialog) {
            dialog.cmdNewFolder->click();
            ASSERT_EQ(dialogs.count(DialogCall::Kind::Input), 1u);
            dialog.accept();
        });
        const QStringList after = QDir(path("Other")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        EXPECT_EQ(dialogs.calls.front().initial, "New Folder");
        EXPECT_EQ(dialogs.count(DialogCall::Kind::Message), row.complaint ? 1u : 0u);
        EXPECT_EQ(chosen, row.made.isEmpty() ? path("Other") : row.made);
        EXPECT_EQ(after.size(), before.size() + (row.made.isEmpty() ? 0 : 1));
        if (!row.made.isEmpty())
            QDir(row.made).removeRecursively();
    }
}

} // namespace
