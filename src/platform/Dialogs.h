#pragma once
// The one service through which every message, question and dialog of the program goes,
// so that tests can see and answer them.
#include "ServiceSlot.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

namespace corvanel::platform {

enum class MessageIcon { None, Information, Warning, Critical, Question };

enum class MessageButtons { Ok, YesNo, OkCancel, YesNoCancel };

enum class MessageResult { Ok, Cancel, Yes, No, Action };

// The answer of a box closed without a choice: Ok, No or Cancel.
MessageResult cancellingAnswer(MessageButtons buttons);

struct Message
{
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // When set, the box also has a button with this text, which answers Action; such a box
    // is always the scrolling one.
    QString actionButton = QString();
};

// The service takes no window: the implementation places each box over the window the user
// is working in, so that logic without widgets can ask too.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A message box; for long texts the implementation shows a scrolling box with the same
    // title and text and a Copy button.
    virtual MessageResult message(const Message &message) = 0;
    // An input box; std::nullopt when the user cancels.
    virtual std::optional<QString> input(const QString &title, const QString &prompt,
                                         const QString &defaultText = QString()) = 0;
    virtual std::optional<QColor> chooseColor(const QColor &initial) = 0;
    // Choosing a program to run: filter "Programs (*)", executable files only.
    virtual std::optional<QString> chooseProgram(const QString &title, const QString &startFolder) = 0;
    virtual std::optional<QString> chooseFolder(const QString &title, const QString &startFolder) = 0;
    // Choosing a file to write: `suggested` is the folder and name offered, `filters` as Qt's file
    // dialogs take them ("Logs (*.log);;CSV (*.csv)"); the chosen name gets the extension of the
    // filter in use when it has none.
    virtual std::optional<QString> chooseSaveFile(const QString &title, const QString &suggested,
                                                  const QString &filters) = 0;

    // Shorthands.
    MessageResult inform(const QString &title, const QString &text)
    {
        return message({title, text, MessageIcon::Information, MessageButtons::Ok});
    }
    MessageResult critical(const QString &title, const QString &text)
    {
        return message({title, text, MessageIcon::Critical, MessageButtons::Ok});
    }
    bool askYesNo(const QString &title, const QString &text)
    {
        return message({title, text, MessageIcon::Question, MessageButtons::YesNo}) == MessageResult::Yes;
    }
};

// The program-wide service. The program installs the Qt implementation at start;
// tests install a recording fake.
// Before anything is installed (or after installing nullptr) messages go to standard error
// and questions take their cancelling answer.
Dialogs &dialogs();
void setDialogs(Dialogs *service);
// The service installed with setDialogs, or nullptr when the built-in console one is in use.
Dialogs *installedDialogs();

using ScopedDialogs = ScopedService<Dialogs, &installedDialogs, &setDialogs>;

} // namespace corvanel::platform
