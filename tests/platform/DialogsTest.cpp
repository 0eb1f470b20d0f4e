#include "Dialogs.h"
#include "QtDialogs.h"
#include "RecordingDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
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
        RecordingDialogs recorder;
        ScopedDialogs scope(recorder);
        EXPECT_EQ(&dialogs(), &recorder);
    }
    EXPECT_EQ(installedDialogs(), nullptr);
}

TEST(QtDialogs, ShortTextGoesToAMessageBox)
{
    const Message message{"No iPod Found!", "Line one\nLine two", MessageIcon::Information, MessageButtons::Ok};
    std::unique_ptr<QDialog> widget = QtDialogs::createMessageWidget(message);
    ASSERT_NE(qobject_cast<QMessageBox *>(widget.get()), nullptr);
    // The text is shown as it is, never as markup.
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
    EXPECT_EQ(widget->windowTitle(), "Duplicates");
    auto *text = widget->findChild<QPlainTextEdit *>("messageText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), longText);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        EXPECT_LE(widget->height(), screen->availableGeometry().height());
    }

    auto *copy = widget->findChild<QPushButton *>("copyButton");
    ASSERT_NE(copy, nullptr);
    QGuiApplication::clipboard()->clear();
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), longText);
}

TEST(QtDialogs, ClosedWindowGivesTheCancellingAnswer)
{
    EXPECT_EQ(QtDialogs::resultFromExec(0, MessageButtons::Ok), MessageResult::Ok);
    EXPECT_EQ(QtDialogs::resultFromExec(0, MessageButtons::YesNo), MessageResult::No);
    EXPECT_EQ(QtDialogs::resultFromExec(0, MessageButtons::YesNoCancel), MessageResult::Cancel);
    EXPECT_EQ(QtDialogs::resultFromExec(QMessageBox::Yes, MessageButtons::YesNoCancel), MessageResult::Yes);
}

TEST(QtDialogs, TheProgramChooserTakesOnlyPrograms)
{
    // A typed name that is no program is refused like a cancel: nothing added, no box.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly));
    EXPECT_EQ(QtDialogs::acceptedProgram({dir.filePath("notes.txt")}), std::nullopt);
    EXPECT_EQ(QtDialogs::acceptedProgram({dir.path()}), std::nullopt);
    EXPECT_EQ(QtDialogs::acceptedProgram({}), std::nullopt);
    EXPECT_EQ(QtDialogs::acceptedProgram({"/bin/sh"}), QString("/bin/sh"));
}
