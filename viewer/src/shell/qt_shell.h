// The shell on a desktop: message boxes and the file dialog from Qt, opened
// window-modal without an event loop of their own, full screen on the
// monitor the window is on, the real screen size, and the display
// orientation recorded (a desktop does not turn).
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <deque>

#include "shell/shell.h"

namespace tavolin::ui {

class QtPrompts final : public UserPrompts {
public:
    void showMessage(QWidget* parent, const Prompt& prompt, PromptAnswered answered = {}) override;
    void openFile(QWidget* parent, const QString& title, const QString& filter, const QString& startFolder,
                  std::function<void(const QString& path)> chosen) override;

    // The box shown now, null when none.
    QMessageBox* shownBox() const { return shown_; }

private:
    struct Pending {
        QPointer<QWidget> parent;
        bool hadParent = false;
        Prompt prompt;
        PromptAnswered answered;
    };
    void showNext();

    std::deque<Pending> waiting_;
    QPointer<QMessageBox> shown_;
    // The boxes' connections end with this object: a box still up then
    // answers nobody.
    QObject context_;
};

class QtShell final : public Shell {
public:
    UserPrompts& prompts() override { return prompts_; }
    void setOrientation(int degrees) override { orientation_ = degrees; }
    int orientation() const override { return orientation_; }
    void enterFullScreen(QWidget* window) override;
    QSize screenSize(const QWidget* window) const override;
    // "protocol" beside the program.
    QString protocolFolder() const override;

private:
    QtPrompts prompts_;
    int orientation_ = 0;
};

} // namespace tavolin::ui
