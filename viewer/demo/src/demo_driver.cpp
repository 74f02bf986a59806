#include "demo/demo_driver.h"

#include <string_view>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "demo/demo_commands.h"
#include "demo/onvif_demo.h"
#include "form/tavolin_dlg.h"
#include "live/wide_video_dlg.h"
#include "tavolin/camera_list.h"
#include "wall/camera_wall_dlg.h"
#include "wall/wall_cell.h"

namespace tavolin::demo {

using ui::CameraWallDlg;
using ui::CTavolinDlg;
using ui::CWideVideoDlg;

namespace {

// Lets the form paint before it is pictured.
constexpr int kSettleMs = 500;
// Time beyond the view's run after which anything still open is closed.
constexpr int kGiveUpMs = 15000;
// How long the wall shows its first camera alone before that is pictured.
constexpr int kSingleCellMs = 2000;

void saveShot(QWidget* window, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (window->grab().save(path)) {
        std::fprintf(stderr, "demo: wrote %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "demo: could not write %s\n", qPrintable(path));
    }
}

// The live view runs modally from the Play handler; this timer fires in its
// event loop.
void pictureLiveView(const DemoOptions& options) {
    QTimer::singleShot(options.viewMs, qApp, [options] {
        auto* view = qobject_cast<CWideVideoDlg*>(QApplication::activeModalWidget());
        if (view == nullptr) {
            std::fprintf(stderr, "demo: the live view is not in front (did it connect?)\n");
            return;
        }
        saveShot(view, options.screenshotFolder, "live-view.png");
        QPointer<CWideVideoDlg> shown(view);
        pictureCommands(view, options.screenshotFolder, [shown] {
            if (shown) shown->close();
        });
    });
}

// Pictures each shown cell of the wall was handed so far.
std::vector<long> wallPictureCounts(const CameraWallDlg& wall) {
    std::vector<long> counts;
    for (int i = 0; i < wall.controller().grid().cells(); ++i) counts.push_back(wall.cell(i)->presentedPictures());
    return counts;
}

// The wall runs modally from the Wall handler; these timers fire in its
// event loop: 4x4 at once, its picture once the streams ran, then Escape.
// Each cell's picture rate over the run's second half goes to standard
// error, for the benchmark.
void driveWall(const DemoOptions& options) {
    auto counted = std::make_shared<std::vector<long>>();
    QTimer::singleShot(options.viewMs / 2, qApp, [counted] {
        if (auto* wall = qobject_cast<CameraWallDlg*>(QApplication::activeModalWidget())) {
            *counted = wallPictureCounts(*wall);
        }
    });
    QTimer::singleShot(kSettleMs, qApp, [] {
        if (auto* wall = qobject_cast<CameraWallDlg*>(QApplication::activeModalWidget())) {
            wall->press(WallKey::Sixteen);
        }
    });
    QTimer::singleShot(options.viewMs, qApp, [options, counted] {
        auto* wall = qobject_cast<CameraWallDlg*>(QApplication::activeModalWidget());
        if (wall == nullptr) {
            std::fprintf(stderr, "demo: the wall is not in front\n");
            return;
        }
        const std::vector<long> counts = wallPictureCounts(*wall);
        const double seconds = (options.viewMs - options.viewMs / 2) / 1000.0;
        for (std::size_t i = 0; i < counts.size() && counts.size() == counted->size(); ++i) {
            std::fprintf(stderr, "demo: wall cell %zu: %.1f pictures/s\n", i + 1,
                         static_cast<double>(counts[i] - (*counted)[i]) / seconds);
        }
        saveShot(wall, options.screenshotFolder, "wall.png");
        // The first camera alone, once its pictures follow the larger cell.
        wall->press(WallKey::One);
        QTimer::singleShot(kSingleCellMs, wall, [wall, folder = options.screenshotFolder] {
            saveShot(wall, folder, "wall-single.png");
            wall->press(WallKey::Escape);
        });
    });
}

} // namespace

bool isLoopbackAddress(std::string_view address) {
    // An RTSP camera's address is a URL: its host sits between the scheme and
    // the path, after any login and before any port.
    constexpr std::string_view kScheme = "rtsp://";
    if (address.starts_with(kScheme)) {
        address.remove_prefix(kScheme.size());
        address = address.substr(0, address.find('/'));
        if (const auto at = address.rfind('@'); at != std::string_view::npos) address.remove_prefix(at + 1);
        address = address.substr(0, address.find(':'));
    }
    return address == "127.0.0.1";
}

bool everyCameraIsLoopback(const CameraList& cameras) {
    for (int i = 0; i < kCameraCount; ++i) {
        if (!isLoopbackAddress(textOf(cameras.record(i)->host))) return false;
    }
    return true;
}

void driveDemo(CTavolinDlg& form, const DemoOptions& options) {
    QDir().mkpath(options.screenshotFolder);
    QPointer<CTavolinDlg> guard(&form);
    QTimer::singleShot(kSettleMs, &form, [guard, options] {
        if (!guard) return;
        CTavolinDlg& f = *guard;
        saveShot(&f, options.screenshotFolder, "form.png");
        if (!everyCameraIsLoopback(f.cameras())) {
            std::fprintf(stderr, "demo: a camera of this list is not at 127.0.0.1; Play is left to you\n");
            f.controls().exit->click();
            return;
        }
        if (options.wall) {
            driveWall(options);
        } else {
            pictureLiveView(options);
        }
        // Should the view stop at a question (a failed connection, say), the
        // demo still ends: whatever covers the form is closed from here on.
        auto* watchdog = new QTimer(guard);
        QObject::connect(watchdog, &QTimer::timeout, watchdog, [] {
            QWidget* top = QApplication::activeModalWidget();
            if (top != nullptr && qobject_cast<CTavolinDlg*>(top) == nullptr) {
                std::fprintf(stderr, "demo: closing a window that stayed open\n");
                top->close();
            }
        });
        watchdog->start(options.viewMs + kGiveUpMs);
        std::fprintf(stderr, options.wall ? "demo: pressing Wall\n" : "demo: pressing Play on camera 1\n");
        (options.wall ? f.controls().wall : f.controls().play)->click();
        if (guard) guard->controls().exit->click();
    });
}

void runAsDemo(ui::CTavolinApp::Options& app, const DemoOptions& options) {
    app.instanceName = ui::SingleInstance::defaultName() + QStringLiteral("-demo");
    app.whenShown = [options](CTavolinDlg& form) {
        if (options.findLogin.isEmpty()) {
            driveDemo(form, options);
        } else {
            driveOnvifDemo(form, options);
        }
    };
    app.noticesToStandardError = true;
}

} // namespace tavolin::demo
