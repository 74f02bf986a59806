// The shell on a desktop: message boxes and the file dialog from Qt, full
// screen on the monitor the window is on, the real screen size, and the
// display orientation recorded (a desktop does not turn).
#pragma once

#include "shell/shell.h"

namespace tavolin::ui {

class QtPrompts final : public UserPrompts {
public:
    PromptAnswer showMessage(QWidget* parent, const QString& text, const QString& caption, PromptButtons buttons,
                             const QString& detail = {}) override;
    QString openFile(QWidget* parent, const QString& title, const QString& filter, const QString& startFolder) override;
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
