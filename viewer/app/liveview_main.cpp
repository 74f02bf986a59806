// tavolin-liveview: opens the live view for one camera of a settings file, or
// for a simulated camera on 127.0.0.1, and optionally writes a screenshot of
// the screen once pictures are showing.
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "demo/simulated_camera.h"
#include "live/video_surface.h"
#include "live/wide_video_dlg.h"
#include "platform/network_guard.h"
#include "shell/qt_shell.h"
#include "tavolin/camera_list.h"

namespace {

struct Options {
    std::string settings;   // settings file; empty: built-in records
    int camera = 1;         // 1..16
    int simulate = 0;       // protocol of a simulated camera, 0 = none
    bool scene = false;     // the simulated camera draws a scene, not the test pattern
    std::string screenshot; // PNG to write, empty = none
    int waitMs = 15000;     // longest wait for pictures before the screenshot
    int runMs = 0;          // close the view after this long, 0 = when the user does
};

const char* kUsage = "usage: tavolin-liveview [--settings FILE] [--camera N] [--simulate 1|2 [--scene]]\n"
                     "                        [--screenshot FILE.png] [--wait MS] [--run MS]\n"
                     "Opens the live view for camera N (1..16) of a settings file, or for a\n"
                     "simulated camera of protocol 1 or 2 on 127.0.0.1 shown as camera N\n"
                     "(a test pattern, or with --scene a scene that answers PTZ).\n"
                     "--screenshot writes the screen once pictures show (or after --wait ms)\n"
                     "and closes the view; --run closes it after that many ms.\n"
                     "With --simulate, or TAVOLIN_LOOPBACK_ONLY=1, only 127.0.0.0/8 is reached.\n";

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--settings" && hasValue) {
            o.settings = argv[++i];
        } else if (arg == "--camera" && hasValue) {
            o.camera = std::atoi(argv[++i]);
        } else if (arg == "--simulate" && hasValue) {
            o.simulate = std::atoi(argv[++i]);
        } else if (arg == "--scene") {
            o.scene = true;
        } else if (arg == "--screenshot" && hasValue) {
            o.screenshot = argv[++i];
        } else if (arg == "--wait" && hasValue) {
            o.waitMs = std::atoi(argv[++i]);
        } else if (arg == "--run" && hasValue) {
            o.runMs = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return o.camera >= 1 && o.camera <= tavolin::kCameraCount &&
           (o.simulate == 0 || o.simulate == 1 || o.simulate == 2) && o.waitMs >= 0 && o.runMs >= 0;
}

bool writeScreenshot(tavolin::ui::CWideVideoDlg& view, const std::string& path) {
    QScreen* screen = view.screen();
    QPixmap shot = screen != nullptr ? screen->grabWindow(0) : QPixmap();
    if (shot.isNull()) shot = view.grab();
    return shot.save(QString::fromStdString(path), "PNG");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    if (options.simulate != 0) platform::enableLoopbackOnly();
    QApplication app(argc, argv);

    std::unique_ptr<tavolin::CameraList> list;
    std::array<tavolin::CameraRecord, tavolin::kCameraCount> builtIn{};
    std::array<tavolin::CameraRecord*, tavolin::kCameraCount> records{};
    if (!options.settings.empty()) {
        list = std::make_unique<tavolin::CameraList>(options.settings);
        for (int i = 0; i < tavolin::kCameraCount; ++i) records[static_cast<std::size_t>(i)] = list->record(i);
    } else {
        for (int i = 0; i < tavolin::kCameraCount; ++i) {
            builtIn[static_cast<std::size_t>(i)] = tavolin::defaultCameraRecord(i);
            records[static_cast<std::size_t>(i)] = &builtIn[static_cast<std::size_t>(i)];
        }
    }
    const int position = options.camera - 1;
    tavolin::demo::SimulatedCamera simulation(options.scene);
    if (options.simulate != 0 && !simulation.start(options.simulate, *records[static_cast<std::size_t>(position)])) {
        std::fputs("tavolin-liveview: the simulated camera did not start\n", stderr);
        return 1;
    }

    tavolin::ui::QtShell shell;
    tavolin::ui::CWideVideoDlg view(records, position, shell);
    bool shotWritten = false;
    QTimer poll;
    QElapsedTimer sinceStart;
    sinceStart.start();
    qint64 firstPictureMs = -1;
    if (!options.screenshot.empty() || options.runMs > 0) {
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, &view, [&] {
            if (view.controller().isClosed()) return;
            const long painted = view.videoSurface().paintedCount();
            if (!options.screenshot.empty() && !shotWritten &&
                ((view.controller().isConnected() && painted >= 10) || sinceStart.elapsed() >= options.waitMs)) {
                shotWritten = writeScreenshot(view, options.screenshot);
                std::fprintf(stderr, "tavolin-liveview: %s %s (%ld pictures painted)\n",
                             shotWritten ? "wrote" : "could not write", options.screenshot.c_str(), painted);
                if (options.runMs == 0) view.controller().close();
            }
            if (firstPictureMs < 0 && view.videoSurface().presentedCount() > 0) firstPictureMs = sinceStart.elapsed();
            if (options.runMs > 0 && sinceStart.elapsed() >= options.runMs) {
                const double seconds = firstPictureMs < 0 ? 0.0 : (sinceStart.elapsed() - firstPictureMs) / 1000.0;
                std::fprintf(stderr,
                             "tavolin-liveview: %ld pictures handed over, %ld painted in %.2f s since the first\n",
                             view.videoSurface().presentedCount(), painted, seconds);
                view.controller().close();
            }
        });
        poll.start();
    }
    // The program ends with the view.
    QObject::connect(&view, &QDialog::finished, &app, &QCoreApplication::quit);
    view.show();
    app.exec();
    if (!options.screenshot.empty() && !shotWritten) return 1;
    return 0;
}
