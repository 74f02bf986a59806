#include "demo/demo_driver.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "demo/demo_commands.h"
#include "demo/onvif_demo.h"
#include "demo/playback_demo.h"
#include "single_view_rounds.h"
#include "form/live_view_runner.h"
#include "form/tavolin_dlg.h"
#include "live/wide_video_dlg.h"
#include "playback/playback_runner.h"
#include "stream/switching_stream.h"
#include "tavolin/camera_list.h"
#include "wall/camera_wall_dlg.h"
#include "wall/wall_cell.h"
#include "wall/wall_runner.h"

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
constexpr int kPollMs = 100;
// The wall's cell is pictured zoomed this many wheel notches in.
constexpr int kZoomNotches = 6;
constexpr int kWheelNotch = 120;

void saveShot(QWidget* window, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (window->grab().save(path)) {
        std::fprintf(stderr, "demo: wrote %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "demo: could not write %s\n", qPrintable(path));
    }
}

// The live view once it ran for a while: its picture, its commands, then
// it is closed.
void pictureLiveView(CWideVideoDlg& opened, const DemoOptions& options) {
    QPointer<CWideVideoDlg> view(&opened);
    auto pictured = std::make_shared<bool>(false);
    QObject::connect(view, &QDialog::finished, view, [pictured] {
        if (!*pictured) std::fprintf(stderr, "demo: the live view closed before its picture (did it connect?)\n");
    });
    QTimer::singleShot(options.viewMs, view, [view, options, pictured] {
        *pictured = true;
        saveShot(view, options.screenshotFolder, "live-view.png");
        pictureCommands(view, options.screenshotFolder, [view] {
            if (view) view->close();
        });
    });
}

// Pictures each shown cell of the wall was handed so far, and painted.
struct CellCounts {
    long presented = 0;
    long painted = 0;
};
std::vector<CellCounts> wallPictureCounts(const CameraWallDlg& wall) {
    std::vector<CellCounts> counts;
    for (int i = 0; i < wall.controller().grid().cells(); ++i)
        counts.push_back({wall.cell(i)->presentedPictures(), wall.cell(i)->paintedPictures()});
    return counts;
}

// The wall's first cell zoomed in with the wheel, pictured once its
// stream followed, and zoomed out again; then `next`.
void pictureZoomedCell(QPointer<CameraWallDlg> wall, const QString& folder, std::function<void()> next) {
    const auto turnWheel = [wall](int notches) {
        const QPointF at = wall->cell(0)->geometry().center();
        QWheelEvent wheel(at, wall->mapToGlobal(at), QPoint(), QPoint(0, notches * kWheelNotch), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(wall, &wheel);
    };
    turnWheel(kZoomNotches);
    QTimer::singleShot(kSingleCellMs, wall, [wall, folder, turnWheel, next = std::move(next)] {
        saveShot(wall, folder, "wall-zoomed.png");
        turnWheel(-kZoomNotches);
        // The cell goes back to its small stream after a while.
        QTimer::singleShot(ui::SwitchingStream::kShrinkDelayMs + kSingleCellMs, wall, next);
    });
}

// The wall once it is up: 4x4 at once, its picture once the streams ran,
// a cell zoomed, the single view rounds when asked for, its first camera
// alone, then Escape. Each cell's picture rate over the run's second half
// goes to standard error, for the benchmark.
void driveWall(CameraWallDlg& opened, const DemoOptions& options, std::shared_ptr<SingleViewRounds> rounds) {
    QPointer<CameraWallDlg> wall(&opened);
    auto counted = std::make_shared<std::vector<CellCounts>>();
    QTimer::singleShot(options.viewMs / 2, wall, [wall, counted] { *counted = wallPictureCounts(*wall); });
    QTimer::singleShot(kSettleMs, wall, [wall] { wall->press(WallKey::Sixteen); });
    QTimer::singleShot(options.viewMs, wall, [wall, options, counted, rounds] {
        const std::vector<CellCounts> counts = wallPictureCounts(*wall);
        const double seconds = (options.viewMs - options.viewMs / 2) / 1000.0;
        for (std::size_t i = 0; i < counts.size() && counts.size() == counted->size(); ++i) {
            std::fprintf(stderr, "demo: wall cell %zu: %.1f pictures/s (%.1f painted)\n", i + 1,
                         static_cast<double>(counts[i].presented - (*counted)[i].presented) / seconds,
                         static_cast<double>(counts[i].painted - (*counted)[i].painted) / seconds);
        }
        saveShot(wall, options.screenshotFolder, "wall.png");
        // The first camera alone, once its pictures follow the larger cell.
        const auto alone = [wall, folder = options.screenshotFolder] {
            if (!wall) return;
            wall->press(WallKey::One);
            QTimer::singleShot(kSingleCellMs, wall, [wall, folder] {
                saveShot(wall, folder, "wall-single.png");
                wall->press(WallKey::Escape);
            });
        };
        pictureZoomedCell(wall, options.screenshotFolder, [wall, rounds, alone] {
            if (!wall) return;
            if (rounds) {
                rounds->run(*wall, alone);
            } else {
                alone();
            }
        });
    });
}

// Exit, once the form takes input again (after the view, and after any
// message about saving it).
void pressExitOnceEditable(QPointer<CTavolinDlg> form) {
    auto* timer = new QTimer(form);
    QObject::connect(timer, &QTimer::timeout, timer, [form, timer] {
        if (!form->controls().exit->isEnabled() || QApplication::activeModalWidget() != nullptr) return;
        timer->deleteLater();
        form->controls().exit->click();
    });
    timer->start(kPollMs);
}

void driveDemo(CTavolinDlg& form, const DemoOptions& options) {
    QDir().mkpath(options.screenshotFolder);
    QPointer<CTavolinDlg> guard(&form);
    QTimer::singleShot(kSettleMs, &form, [guard, options] {
        CTavolinDlg& f = *guard;
        saveShot(&f, options.screenshotFolder, "form.png");
        if (!everyCameraIsLoopback(f.cameras())) {
            std::fprintf(stderr, "demo: a camera of this list is not at 127.0.0.1; Play is left to you\n");
            f.controls().exit->click();
            return;
        }
        startWatchdog(f, options.viewMs + kGiveUpMs + options.singleRounds * SingleViewRounds::kRoundMs);
        QPushButton* button = options.wall       ? f.controls().wall
                              : options.playback ? f.controls().playback
                                                 : f.controls().play;
        std::fprintf(stderr, "demo: pressing %s on camera 1\n", qPrintable(button->text()));
        button->click();
    });
}

} // namespace

void startWatchdog(CTavolinDlg& form, int ms) {
    auto* watchdog = new QTimer(&form);
    QObject::connect(watchdog, &QTimer::timeout, watchdog, [] {
        QWidget* top = QApplication::activeModalWidget();
        if (top != nullptr && qobject_cast<CTavolinDlg*>(top) == nullptr) {
            std::fprintf(stderr, "demo: closing a window that stayed open\n");
            top->close();
        }
    });
    watchdog->start(ms);
}

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

void runAsDemo(ui::CTavolinApp::Options& app, ui::Shell& shell, const DemoOptions& options,
               ui::StreamCatalogues* catalogues) {
    app.instanceName = ui::SingleInstance::defaultName() + QStringLiteral("-demo");
    app.noticesToStandardError = true;
    auto form = std::make_shared<QPointer<CTavolinDlg>>();
    // Once the view or the wall has closed and the form has saved, Exit.
    const auto thenExit = [form](CTavolinDlg::Closed closed) {
        return [form, closed = std::move(closed)](const ui::LiveViewChanges& changed) {
            closed(changed);
            if (*form) pressExitOnceEditable(*form);
        };
    };
    const CTavolinDlg::LiveViewRunner view = ui::wideVideoRunner(
        shell,
        [options](CWideVideoDlg& opened) {
            if (options.findLogin.isEmpty()) {
                pictureLiveView(opened, options);
            } else {
                driveOnvifLiveView(opened, options);
            }
        },
        {}, catalogues);
    // The channel is never stored, so it is set on the records each view gets.
    const auto setChannel = [channel = options.channel](const CTavolinDlg::Records& records) {
        if (!channel) return;
        for (CameraRecord* record : records) {
            if (record != nullptr) record->channel = *channel;
        }
    };
    app.liveView = [view, thenExit, setChannel](const CTavolinDlg::Records& records, int position, QWidget* parent,
                                                CTavolinDlg::Closed closed) {
        setChannel(records);
        view(records, position, parent, thenExit(std::move(closed)));
    };
    std::shared_ptr<SingleViewRounds> rounds;
    if (options.singleRounds > 0) {
        rounds = std::make_shared<SingleViewRounds>(options.singleRounds, options.screenshotFolder);
    }
    std::function<void(CWideVideoDlg&)> singleOpened;
    if (rounds) singleOpened = [rounds](CWideVideoDlg& opened) { rounds->viewOpened(opened); };
    const CTavolinDlg::WallRunner wall = ui::cameraWallRunner(
        shell, ui::wideVideoOverWall(shell, singleOpened, {}, catalogues),
        [options, rounds](CameraWallDlg& opened) { driveWall(opened, options, rounds); }, false, catalogues);
    app.wall = [wall, thenExit, setChannel](const CTavolinDlg::Records& records, CameraList& cameras, QWidget* parent,
                                            CTavolinDlg::Closed closed) {
        setChannel(records);
        wall(records, cameras, parent, thenExit(std::move(closed)));
    };
    if (options.playback) {
        const ui::PlaybackOpener open = ui::cameraPlaybackOpener(
            app.settingsPath, [options](ui::PlaybackWindow& opened) { drivePlaybackWindow(opened, options); });
        app.playback = [open, form](const CameraRecord& record, QWidget* parent, std::function<void()> closed) {
            open(record, parent, [form, closed = std::move(closed)] {
                closed();
                if (*form) pressExitOnceEditable(*form);
            });
        };
    }
    app.whenShown = [form, options](CTavolinDlg& shown) {
        *form = &shown;
        if (options.findLogin.isEmpty()) {
            driveDemo(shown, options);
        } else {
            driveOnvifDemo(shown, options);
        }
    };
}

} // namespace tavolin::demo
