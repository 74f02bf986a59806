// Tavolin, the viewer program: the settings form, and from it the live view
// and the camera wall. --user-settings (the desktop entry passes it) keeps
// the settings file in the user's own folder, ~/.config/Tavolin/Tavolin.txt,
// instead of the current folder, which a desktop menu leaves anywhere.
#include <QApplication>
#include <QString>
#include <cstdio>
#include <cstring>

#include "app/tavolin_app.h"
#include "form/live_view_runner.h"
#include "playback/playback_runner.h"
#include "platform/user_settings_folder.h"
#include "shell/qt_shell.h"
#include "shell/reason_log.h"
#include "stream/stream_catalogues.h"
#include "wall/wall_runner.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavolin"));

    bool userSettings = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--user-settings") != 0) {
            std::fprintf(stderr, "usage: Tavolin [--user-settings]\n");
            return 2;
        }
        userSettings = true;
    }

    // Reasons behind failures are shown with the messages that report them.
    tavolin::ui::ReasonLog reasons;
    tavolin::ui::QtShell shell;
    // What each camera's streams are is asked once and shared by every view.
    tavolin::ui::StreamCatalogues catalogues;
    tavolin::ui::CTavolinApp::Options options;
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
    // Snapshot and Record follow the [Capture] section of the same file.
    // Playback of a camera's recordings from the form, the live view and the wall.
    options.playback = tavolin::ui::cameraPlaybackOpener(options.settingsPath);
    options.liveView = tavolin::ui::wideVideoRunner(shell, {}, options.settingsPath, &catalogues, options.playback);
    options.wall = tavolin::ui::cameraWallRunner(
        shell, tavolin::ui::wideVideoOverWall(shell, {}, options.settingsPath, &catalogues, options.playback), {}, true,
        &catalogues, options.playback);
    tavolin::ui::CTavolinApp tavolinApp(shell, std::move(options));
    return tavolinApp.run();
}
