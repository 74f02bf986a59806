// The program: one instance per user, the settings form shown until it is
// closed, the settings file written once more then, also when the system or
// the session asks the program to end. One event loop runs it all; every
// window and message opens modal to the one under it, without a loop of its
// own.
#pragma once

#include <QEventLoop>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/single_instance.h"
#include "form/tavolin_dlg.h"
#include "tavolin/camera_list.h"

namespace tavolin::ui {

class ReasonLog;
class Shell;

class CTavolinApp {
public:
    struct Options {
        QString instanceName = SingleInstance::defaultName();
        std::string settingsPath = kSettingsPath;
        CTavolinDlg::LiveViewRunner liveView;
        CTavolinDlg::WallRunner wall;
        // The form's Playback; none when null.
        PlaybackOpener playback;
        // Why a save failed, told with its message; none when null.
        const ReasonLog* reasons = nullptr;
        // Runs once the form is up, from its event loop (a demo drives it here).
        std::function<void(CTavolinDlg&)> whenShown;
        // What the settings file could not give goes to standard error instead
        // of a message box that waits for a user (a demo has none).
        bool noticesToStandardError = false;
    };

    CTavolinApp(Shell& shell, Options options);
    ~CTavolinApp();
    CTavolinApp(const CTavolinApp&) = delete;
    CTavolinApp& operator=(const CTavolinApp&) = delete;

    // Program start to program end; the exit code. A later start brings the
    // running instance to the front and returns 0 at once. A settings path the
    // store cannot keep is refused with a message and 1.
    int run();

    // The form while run() shows it, else null.
    CTavolinDlg* form() const { return form_.get(); }

private:
    void raiseWindow();
    // A notice about the settings file, shown over `parent` or written out;
    // `then` runs once it was read.
    void tell(QWidget* parent, const std::string& notice, std::function<void()> then = {});
    // The form has closed: the list is closed (the file written once more),
    // what that told is told, and the loop ends.
    void formClosed();
    // Closes whatever covers the form (the live view, a question), then the
    // form itself, without asking: the camera list is closed and the file
    // written as at a normal end.
    void endOnRequest();

    Shell& shell_;
    Options options_;
    SingleInstance instance_;
    std::unique_ptr<CTavolinDlg> form_;
    bool endRequested_ = false;
    QEventLoop* loop_ = nullptr; // while run() runs
    int exitCode_ = 0;
};

} // namespace tavolin::ui
