#include "Dialogs.h"

#include <cstdio>

namespace corvanel::platform {

namespace {

// Without windows (before the program installs its dialogs, or in a tool) a message goes to
// standard error and every question takes its cancelling answer.
class ConsoleDialogs final : public Dialogs
{
public:
    MessageResult message(const Message &message) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(message.title), qPrintable(message.text));
        return cancellingAnswer(message.buttons);
    }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return std::nullopt; }
    std::optional<QColor> chooseColor(const QColor &) override { return std::nullopt; }
    std::optional<QString> chooseProgram(const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> chooseFolder(const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> chooseSaveFile(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

Dialogs &builtInDialogs()
{
    static ConsoleDialogs instance;
    return instance;
}

} // namespace

static ServiceSlot<Dialogs> &slot()
{
    static ServiceSlot<Dialogs> instance(&builtInDialogs);
    return instance;
}

MessageResult cancellingAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
        return MessageResult::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        break;
    }
    return MessageResult::Cancel;
}

Dialogs &dialogs()
{
    return slot().get();
}

void setDialogs(Dialogs *service)
{
    slot().install(service);
}

Dialogs *installedDialogs()
{
    return slot().installed();
}

} // namespace corvanel::platform
