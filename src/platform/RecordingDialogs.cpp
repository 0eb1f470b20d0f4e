#include "RecordingDialogs.h"

#include <algorithm>

namespace corvanel::platform {

namespace {

template <typename T> std::optional<T> takeAnswer(std::deque<std::optional<T>> &queue)
{
    if (queue.empty())
        return std::nullopt;
    std::optional<T> answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

} // namespace

MessageResult RecordingDialogs::message(const Message &message)
{
    DialogCall call;
    call.kind = DialogCall::Kind::Message;
    call.title = message.title;
    call.text = message.text;
    call.icon = message.icon;
    call.buttons = message.buttons;
    call.actionButton = message.actionButton;
    calls.push_back(std::move(call));

    if (message.buttons == MessageButtons::Ok && message.actionButton.isEmpty())
        return MessageResult::Ok;
    if (!answers.empty()) {
        const MessageResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return cancellingAnswer(message.buttons);
}

std::optional<QString> RecordingDialogs::input(const QString &title, const QString &prompt, const QString &defaultText)
{
    DialogCall call;
    call.kind = DialogCall::Kind::Input;
    call.title = title;
    call.text = prompt;
    call.initial = defaultText;
    calls.push_back(std::move(call));
    return takeAnswer(inputAnswers);
}

std::optional<QColor> RecordingDialogs::chooseColor(const QColor &initial)
{
    DialogCall call;
    call.kind = DialogCall::Kind::Color;
    call.initialColor = initial;
    calls.push_back(std::move(call));
    return takeAnswer(colorAnswers);
}

std::optional<QString> RecordingDialogs::chooseProgram(const QString &title, const QString &startFolder)
{
    DialogCall call;
    call.kind = DialogCall::Kind::Program;
    call.title = title;
    call.initial = startFolder;
    calls.push_back(std::move(call));
    return takeAnswer(programAnswers);
}

std::optional<QString> RecordingDialogs::chooseFolder(const QString &title, const QString &startFolder)
{
    DialogCall call;
    call.kind = DialogCall::Kind::Folder;
    call.title = title;
    call.initial = startFolder;
    calls.push_back(std::move(call));
    return takeAnswer(folderAnswers);
}

std::optional<QString> RecordingDialogs::chooseSaveFile(const QString &title, const QString &suggested,
                                                        const QString &filters)
{
    DialogCall call;
    call.kind = DialogCall::Kind::SaveFile;
    call.title = title;
    call.text = filters;
    call.initial = suggested;
    calls.push_back(std::move(call));
    return takeAnswer(saveFileAnswers);
}

void RecordingDialogs::clear()
{
    calls.clear();
    answers.clear();
    inputAnswers.clear();
    colorAnswers.clear();
    programAnswers.clear();
    folderAnswers.clear();
    saveFileAnswers.clear();
}

std::size_t RecordingDialogs::count(DialogCall::Kind kind) const
{
    return static_cast<std::size_t>(
        std::count_if(calls.begin(), calls.end(), [kind](const DialogCall &c) { return c.kind == kind; }));
}

} // namespace corvanel::platform
