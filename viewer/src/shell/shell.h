// What the handheld's shell did for the viewer, as one small interface the
// viewer owns: display orientation, full screen, the screen size the live view
// measures, where the shipped protocol files are, and every prompt to the
// user. The program uses the Qt implementation; tests use a scripted fake that
// answers prompts and records what was asked.
#pragma once

#include <QSize>
#include <QString>
#include <functional>

#include "shell/prompt.h"

class QWidget;

namespace tavolin::ui {

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // Shows a message box over `parent`, window-modal (application-modal
    // without a parent), and returns at once; `answered`, when given, gets
    // the answer. Boxes show one at a time, in the order asked; one for a
    // window that has gone meanwhile is dropped unanswered. GUI thread only.
    virtual void showMessage(QWidget* parent, const Prompt& prompt, PromptAnswered answered = {}) = 0;

    // The file-open dialog, window-modal over `parent`: `chosen` gets the
    // chosen file's full path, or an empty text when the user cancelled.
    virtual void openFile(QWidget* parent, const QString& title, const QString& filter, const QString& startFolder,
                          std::function<void(const QString& path)> chosen) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;

    virtual UserPrompts& prompts() = 0;

    // Display orientation in degrees (0 upright, 270 turned). A desktop
    // records it; nothing turns.
    virtual void setOrientation(int degrees) = 0;
    virtual int orientation() const = 0;

    // Makes `window` cover the whole screen of the monitor it is on, with no
    // decoration and nothing of the desktop over it.
    virtual void enterFullScreen(QWidget* window) = 0;

    // The screen size the live view measures for `window`.
    virtual QSize screenSize(const QWidget* window) const = 0;

    // The folder of the shipped PTZ protocol files, where the file dialog starts.
    virtual QString protocolFolder() const = 0;
};

} // namespace tavolin::ui
