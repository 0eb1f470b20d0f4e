#pragma once
// The dialogs service for tests: records every call and answers from queues the test fills.
#include "Dialogs.h"

#include <cstddef>
#include <deque>
#include <vector>

namespace corvanel::platform {

struct DialogCall
{
    enum class Kind { Message, Input, Color, Program, Folder, SaveFile };

    Kind kind = Kind::Message;
    QString title;
    // The message text, or the prompt of an input box.
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString actionButton;
    // The default text of an input box, the start folder of a chooser, the file a save dialog offers.
    QString initial;
    QColor initialColor;
};

class RecordingDialogs : public Dialogs
{
public:
    std::vector<DialogCall> calls;

    // Answers to questions, taken in order. A box with only an Ok button takes nothing from
    // the queue and answers Ok (unless it has an action button); without a queued answer a Yes/No box answers No and a
    // box with a Cancel button answers Cancel.
    std::deque<MessageResult> answers;
    // std::nullopt answers as a cancelled dialog; an empty queue cancels.
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QString>> programAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> saveFileAnswers;

    MessageResult message(const Message &message) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultText = QString()) override;
    std::optional<QColor> chooseColor(const QColor &initial) override;
    std::optional<QString> chooseProgram(const QString &title, const QString &startFolder) override;
    std::optional<QString> chooseFolder(const QString &title, const QString &startFolder) override;
    // Records the filters as the call's text.
    std::optional<QString> chooseSaveFile(const QString &title, const QString &suggested,
                                          const QString &filters) override;

    // Forgets the recorded calls and every queued answer.
    void clear();
    std::size_t count() const { return calls.size(); }
    std::size_t count(DialogCall::Kind kind) const;
    // The latest call; the test must have checked that there is one.
    const DialogCall &last() const { return calls.back(); }
};

} // namespace corvanel::platform
