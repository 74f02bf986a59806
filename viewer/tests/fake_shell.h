// A shell for tests: prompts are answered from a script and recorded, the
// screen has the size a test sets, and orientation and full-screen requests are
// recorded rather than carried out.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <vector>

#include "shell/shell.h"

namespace tavolin::ui::test {

class ScriptedPrompts final : public UserPrompts {
public:
    struct Message {
        QString text;
        QString caption;
        PromptButtons buttons;
        QString detail;
    };
    struct FileDialog {
        QString title;
        QString filter;
        QString startFolder;
    };

    // Answers given in order. With none left a box answers Ok, or No when it
    // asks Yes or No.
    std::deque<PromptAnswer> answers;
    // Paths the file dialog returns in order; with none left it is cancelled.
    std::deque<QString> files;
    // Runs while a message is "shown", before it is answered: a test can act
    // here as a user would while the box is open (close the view, say).
    std::function<void(const Message&)> whileShown;

    std::vector<Message> messages;
    std::vector<FileDialog> fileDialogs;

    PromptAnswer showMessage(QWidget*, const QString& text, const QString& caption, PromptButtons buttons,
                             const QString& detail = {}) override {
        messages.push_back({text, caption, buttons, detail});
        if (whileShown) whileShown(messages.back());
        if (!answers.empty()) {
            const PromptAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
    }

    QString openFile(QWidget*, const QString& title, const QString& filter, const QString& startFolder) override {
        fileDialogs.push_back({title, filter, startFolder});
        if (files.empty()) return {};
        QString path = files.front();
        files.pop_front();
        return path;
    }
};

class FakeShell final : public Shell {
public:
    ScriptedPrompts scripted;
    QSize screen{320, 240};
    QString protocols;
    std::vector<int> orientations; // every orientation set, in order
    std::vector<QWidget*> fullScreenWindows;

    UserPrompts& prompts() override { return scripted; }
    void setOrientation(int degrees) override { orientations.push_back(degrees); }
    int orientation() const override { return orientations.empty() ? 0 : orientations.back(); }
    void enterFullScreen(QWidget* window) override {
        fullScreenWindows.push_back(window);
        if (window) window->resize(screen);
    }
    QSize screenSize(const QWidget*) const override { return screen; }
    QString protocolFolder() const override { return protocols; }
};

} // namespace tavolin::ui::test
