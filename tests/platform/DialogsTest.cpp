#include "Dialogs.h"
#include "QtDialogs.h"
#include "RecordingDialogs.h"
#include "clsBrowseFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvanel::platform;

TEST(Dialogs, DefaultServiceAndScopedInstall)
{
    EXPECT_EQ(installedDialogs(), nullptr);
    // Without windows, questions take their cancelling answer instead of waiting for a click.
    EXPECT_FALSE(dialogs().askYesNo("T", "Go on?"));
    EXPECT_EQ(dialogs().message({"T", "Sure?", MessageIcon::Question, MessageButtons::OkCancel}),
              MessageResult::Cancel);
    EXPECT_EQ(dialogs().input("T", "Value?"), std::nullopt);
    {
        RecordingDialogs outer;
        ScopedDialogs outerScope(outer);
        {
            RecordingDialogs inner;
            ScopedDialogs innerScope(inner);
            dialogs().inform("T", "inner");
            EXPECT_EQ(inner.count(), 1u);
        }
        EXPECT_EQ(&dialogs(), &outer);
        EXPECT_EQ(outer.count(), 0u);
    }
    EXPECT_EQ(installedDialogs(), nullptr);
}

// The other tests lean on how the recorder answers, so that is pinned here.
TEST(RecordingDialogs, AnswersFromQueuesAndCancelsWhenTheyRunOut)
{
    RecordingDialogs fake;
    ScopedDialogs scope(fake);

    fake.answers = {MessageResult::Yes, MessageResult::Cancel};
    // An Ok box does not take a queued answer.
    EXPECT_EQ(dialogs().inform("Info", "Hello"), MessageResult::Ok);
    EXPECT_TRUE(dialogs().askYesNo("Update to latest?", "Update?"));
    EXPECT_EQ(dialogs().message({"Q", "Three", MessageIcon::Warning, MessageButtons::YesNoCancel}),
              MessageResult::Cancel);
    EXPECT_FALSE(dialogs().askYesNo("Again", "?"));
    EXPECT_EQ(dialogs().message({"Q", "", MessageIcon::None, MessageButtons::OkCancel}), MessageResult::Cancel);
    ASSERT_EQ(fake.count(), 5u);
    EXPECT_EQ(fake.calls[0].icon, MessageIcon::Information);
    EXPECT_EQ(fake.calls[1].buttons, MessageButtons::YesNo);

    fake.inputAnswers = {QString("typed"), std::nullopt};
    fake.colorAnswers = {QColor(Qt::red)};
    fake.folderAnswers = {QString("/music")};
    EXPECT_EQ(dialogs().input("Name", "Enter a name", "def"), QString("typed"));
    EXPECT_EQ(dialogs().input("Name", "Enter a name"), std::nullopt);
    EXPECT_EQ(dialogs().input("Name", "Enter a name"), std::nullopt);
    EXPECT_EQ(dialogs().chooseColor(Qt::blue), QColor(Qt::red));
    EXPECT_EQ(dialogs().chooseColor(Qt::blue), std::nullopt);
    EXPECT_EQ(dialogs().chooseFolder("Where", "/home"), QString("/music"));
    EXPECT_EQ(fake.count(DialogCall::Kind::Input), 3u);
    EXPECT_EQ(fake.calls[5].initial, "def");
    EXPECT_EQ(fake.last().initial, "/home");

    fake.answers = {MessageResult::Yes};
    fake.clear();
    EXPECT_EQ(fake.count(), 0u);
    EXPECT_TRUE(fake.answers.empty());
}

TEST(QtDialogs, ShortTextGoesToAMessageBox)
{
    const Message message{"No iPod Found!", "Line one\nLine two", MessageIcon::Information, MessageButtons::Ok};
    EXPECT_FALSE(QtDialogs::needsScrollingBox(message.text));
    std::unique_ptr<QDialog> widget = QtDialogs::createMessageWidget(message);
    auto *box = qobject_cast<QMessageBox *>(widget.get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), message.text);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);

    std::unique_ptr<QDialog> question = QtDialogs::createMessageWidget(
        {"Update to latest?", "<b>not markup</b>", MessageIcon::Question, MessageButtons::YesNo});
    auto *questionBox = qobject_cast<QMessageBox *>(question.get());
    ASSERT_NE(questionBox, nullptr);
    EXPECT_EQ(questionBox->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(questionBox->textFormat(), Qt::PlainText);
    EXPECT_EQ(questionBox->defaultButton(), questionBox->button(QMessageBox::Yes));
}

TEST(QtDialogs, LongTextGoesToAScrollingBoxWithCopy)
{
    QStringList lines;
    for (int i = 0; i < 26; ++i)
        lines << QString("Duplicate song %1").arg(i);
    const QString longText = lines.join('\n');
    EXPECT_TRUE(QtDialogs::needsScrollingBox(longText));
    lines.removeLast();
    EXPECT_FALSE(QtDialogs::needsScrollingBox(lines.join('\n')));
    // One very long line wraps into more lines than fit.
    EXPECT_TRUE(QtDialogs::needsScrollingBox(QString("word ").repeated(20000)));

    const Message message{"Duplicates", longText, MessageIcon::Information, MessageButtons::Ok};
    std::unique_ptr<QDialog> widget = QtDialogs::createMessageWidget(message);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(qobject_cast<QMessageBox *>(widget.get()), nullptr);
    EXPECT_EQ(widget->windowTitle(), "Duplicates");
    auto *text = widget->findChild<QPlainTextEdit *>("messageText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), longText);
    auto *buttons = widget->findChild<QDialogButtonBox *>();
    ASSERT_NE(buttons, nullptr);
    ASSERT_NE(buttons->button(QDialogButtonBox::Ok), nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel), nullptr);

    auto *copy = widget->findChild<QPushButton *>("copyButton");
    ASSERT_NE(copy, nullptr);
    QGuiApplication::clipboard()->clear();
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), longText);

    widget->open();
    EXPECT_TRUE(widget->isVisible());
    buttons->button(QDialogButtonBox::Ok)->click();
    EXPECT_FALSE(widget->isVisible());
    EXPECT_EQ(QtDialogs::resultFromExec(widget->result(), MessageButtons::Ok), MessageResult::Ok);

    std::unique_ptr<QDialog> question =
        QtDialogs::createMessageWidget({"Q", longText, MessageIcon::Question, MessageButtons::YesNo});
    auto *questionButtons = question->findChild<QDialogButtonBox *>();
    ASSERT_NE(questionButtons, nullptr);
    question->open();
    questionButtons->button(QDialogButtonBox::No)->click();
    EXPECT_EQ(QtDialogs::resultFromExec(question->result(), MessageButtons::YesNo), MessageResult::No);
}

TEST(QtDialogs, ClosedWindowGivesTheCancellingAnswer)
{
    EXPECT_EQ(QtDialogs::resultFromExec(0, MessageButtons::Ok), MessageResult::Ok);
    EXPECT_EQ(QtDialogs::resultFromExec(0, MessageButtons::YesNo), MessageResult::No);
    EXPECT_EQ(QtDialogs::resultFromExec(0, MessageButtons::YesNoCancel), MessageResult::Cancel);
    EXPECT_EQ(QtDialogs::resultFromExec(QMessageBox::Yes, MessageButtons::YesNoCancel), MessageResult::Yes);
}

TEST(QtDialogs, ChoosersAreSetUp)
{
    std::unique_ptr<QFileDialog> program = QtDialogs::createProgramChooser("Pick", "/usr/bin");
    EXPECT_EQ(program->fileMode(), QFileDialog::ExistingFile);
    EXPECT_NE(program->proxyModel(), nullptr) << "folders and executable files only";
    // A typed name that is no program is refused like a cancel: nothing added, no box.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly));
    EXPECT_EQ(QtDialogs::acceptedProgram({dir.filePath("notes.txt")}), std::nullopt);
    EXPECT_EQ(QtDialogs::acceptedProgram({dir.path()}), std::nullopt);
    EXPECT_EQ(QtDialogs::acceptedProgram({}), std::nullopt);
    EXPECT_EQ(QtDialogs::acceptedProgram({"/bin/sh"}), QString("/bin/sh"));

    const auto folder = QtDialogs::createFolderChooser("Where", "/tmp");
    EXPECT_EQ(folder->InitialDir(), QString("/tmp"));
    EXPECT_EQ(folder->flags(), kFlagUseNewUI | kFlagFileSystemOnly | kFlagIncludeFiles);
}
