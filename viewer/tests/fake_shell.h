// A shell for tests: prompts are answered from a script and recorded, the
// screen has the size a test sets, and orientation and full-screen requests are
// recorded rather than carried out.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <utility>
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
    // Messages wait for answerNext() instead of being answered as they come,
    // so a test can act while one is up.
    bool hold = false;

    std::vector<Message> messages;
    std::vector<FileDialog> fileDialogs;

    void showMessage(QWidget*, const Prompt& prompt, PromptAnswered answered = {}) override {
        messages.push_back({prompt.text, prompt.caption, prompt.buttons, prompt.detail});
        waiting_.push_back({prompt.buttons, std::move(answered)});
        // One at a time, in order, as the real boxes: an answer that asks
        // again is answered after it.
        if (hold || answering_) return;
        answering_ = true;
        while (!hold && answerNext()) {}
        answering_ = false;
    }

    // Answers the oldest message still up from the script; false when none is.
    bool answerNext() {
        if (waiting_.empty()) return false;
        Waiting next = std::move(waiting_.front());
        waiting_.pop_front();
        PromptAnswer answer = next.buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (next.answered) next.answered(answer);
        return true;
    }
    std::size_t waiting() const { return waiting_.size(); }

    void openFile(QWidget*, const QString& title, const QString& filter, const QString& startFolder,
                  std::function<void(const QString& path)> chosen) override {
        fileDialogs.push_back({title, filter, startFolder});
        QString path;
        if (!files.empty()) {
            path = files.front();
            files.pop_front();
        }
        chosen(path);
    }

private:
    struct Waiting {
        PromptButtons buttons;
        PromptAnswered answered;
    };
    std::deque<Waiting> waiting_;
    bool answering_ = false;
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
