// Tavolin, the viewer program: the settings form, and from it the live view.
// The one option, --demo FOLDER [--demo-seconds N], is for the main job on a
// machine without a display: it pictures the form, presses Play on camera 1
// when every camera is at 127.0.0.1, pictures the live view and ends. With
// --demo-find USER:PASSWORD it finds an ONVIF camera with "Find..." first,
// logs in to it, plays and pans it, and waits for a restart of the camera. With
// --demo-wall it presses Wall instead and pictures the 4x4 wall.
// --user-settings (the desktop entry passes it) keeps the settings file in
// the user's own folder, ~/.config/Tavolin/Tavolin.txt, instead of the
// current folder, which a desktop menu leaves anywhere.
#include <QApplication>
#include <QString>
#include <cstdio>
#include <cstring>

#include "app/tavolin_app.h"
#include "demo/demo_driver.h"
#include "form/live_view_runner.h"
#include "platform/user_settings_folder.h"
#include "shell/qt_shell.h"
#include "shell/reason_log.h"
#include "wall/wall_runner.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: Tavolin [--user-settings] [--demo FOLDER [--demo-seconds N] [--demo-find "
                         "USER:PASSWORD] [--demo-wall]]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavolin"));

    bool demo = false;
    bool userSettings = false;
    tavolin::demo::DemoOptions demoOptions;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--demo") == 0 && hasValue) {
            demo = true;
            demoOptions.screenshotFolder = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--demo-wall") == 0) {
            demoOptions.wall = true;
        } else if (std::strcmp(argv[i], "--user-settings") == 0) {
            userSettings = true;
        } else if (std::strcmp(argv[i], "--demo-find") == 0 && hasValue) {
            demoOptions.findLogin = QString::fromLocal8Bit(argv[++i]);
            if (demoOptions.findLogin.isEmpty()) return usage();
        } else if (std::strcmp(argv[i], "--demo-seconds") == 0 && hasValue) {
            bool ok = false;
            const int seconds = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || seconds < 1 || seconds > 3600) return usage(); // an hour: long runs measure memory
            demoOptions.viewMs = seconds * 1000;
        } else {
            return usage();
        }
    }

    // Reasons behind failures are shown with the messages that report them.
    tavolin::ui::ReasonLog reasons;
    tavolin::ui::QtShell shell;
    tavolin::ui::CTavolinApp::Options options;
    options.liveView = tavolin::ui::wideVideoRunner(shell, &reasons);
    options.wall = tavolin::ui::cameraWallRunner(shell, options.liveView, &reasons);
    options.reasons = &reasons;
    if (userSettings) {
        if (const auto folder = platform::userSettingsFolder()) {
            options.settingsPath = *folder + "/Tavolin.txt";
            // Camera passwords are in it: one left readable by others is made owner-only.
            platform::keepOwnerOnly(options.settingsPath);
        } else {
            std::fprintf(stderr, "Tavolin: no settings folder in the home folder; using the current one\n");
        }
    }
    if (demo) tavolin::demo::runAsDemo(options, demoOptions);
    tavolin::ui::CTavolinApp tavolinApp(shell, std::move(options));
    return tavolinApp.run();
}
