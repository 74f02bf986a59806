// A message or question to the user as the viewer's logic asks it: the call
// returns at once and the answer comes later, by callback, while the event
// loop runs on.
#pragma once

#include <QString>
#include <functional>
#include <utility>

namespace tavolin::ui {

enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

struct Prompt {
    Prompt() = default;
    Prompt(QString text, QString caption, PromptButtons buttons = PromptButtons::Ok, QString detail = {})
        : text(std::move(text)), caption(std::move(caption)), buttons(buttons), detail(std::move(detail)) {}

    QString text;
    QString caption;
    PromptButtons buttons = PromptButtons::Ok;
    // A line under the text that says why; empty when not known.
    QString detail;
};

// Gets the answer once; a box closed without a button answers No to a
// question and Ok to a message.
using PromptAnswered = std::function<void(PromptAnswer)>;

} // namespace tavolin::ui
