// tavolin-demo: the viewer as Tavolin runs it, driven for pictures on a
// machine without a display. It pictures the form, presses Play on camera 1
// when every camera is at 127.0.0.1, pictures the live view and ends. With
// --find USER:PASSWORD it finds an ONVIF camera with "Find..." first, logs in
// to it, plays and pans it, and waits for a restart of the camera. With
// --wall it presses Wall instead and pictures the 4x4 wall (zoomed too), and
// with --single-rounds N it opens the wall's first camera in the single view N
// times, timing each. --channel N plays every camera on channel N, as typed
// into "Channel NO." (for ONVIF: always profile N instead of the one that
// fits). --playback presses Playback instead and pictures camera 1's
// recordings at an event. The settings file is Tavolin.txt in the current folder, as for the
// viewer.
#include <QApplication>
#include <QString>
#include <cstdio>
#include <cstring>

#include "app/tavolin_app.h"
#include "demo/demo_driver.h"
#include "shell/qt_shell.h"
#include "shell/reason_log.h"
#include "stream/stream_catalogues.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: tavolin-demo --screenshots FOLDER [--seconds N] [--channel N] [--find USER:PASSWORD [--aim]]\n"
                 "                    [--wall [--single-rounds N]] [--playback]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavolin"));

    tavolin::demo::DemoOptions demo;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--screenshots") == 0 && hasValue) {
            demo.screenshotFolder = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--aim") == 0) {
            demo.aim = true;
        } else if (std::strcmp(argv[i], "--playback") == 0) {
            demo.playback = true;
        } else if (std::strcmp(argv[i], "--wall") == 0) {
            demo.wall = true;
        } else if (std::strcmp(argv[i], "--single-rounds") == 0 && hasValue) {
            bool ok = false;
            demo.singleRounds = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || demo.singleRounds < 0 || demo.singleRounds > 100) return usage();
        } else if (std::strcmp(argv[i], "--channel") == 0 && hasValue) {
            bool ok = false;
            const uint32_t channel = QString::fromLocal8Bit(argv[++i]).toUInt(&ok);
            if (!ok || channel > 99) return usage();
            demo.channel = channel;
        } else if (std::strcmp(argv[i], "--find") == 0 && hasValue) {
            demo.findLogin = QString::fromLocal8Bit(argv[++i]);
            if (demo.findLogin.isEmpty()) return usage();
        } else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
            bool ok = false;
            const int seconds = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || seconds < 1 || seconds > 3600) return usage(); // an hour: long runs measure memory
            demo.viewMs = seconds * 1000;
        } else {
            return usage();
        }
    }
    if (demo.screenshotFolder.isEmpty()) return usage();

    tavolin::ui::ReasonLog reasons;
    tavolin::ui::QtShell shell;
    tavolin::ui::StreamCatalogues catalogues;
    tavolin::ui::CTavolinApp::Options options;
    options.reasons = &reasons;
    tavolin::demo::runAsDemo(options, shell, demo, &catalogues);
    tavolin::ui::CTavolinApp tavolinApp(shell, std::move(options));
    return tavolinApp.run();
}
