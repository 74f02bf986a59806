// Switching the wall between two 4x4 layouts that share twelve cameras, on
// simulated ONVIF cameras written into a settings file by tavolin-camsim
// --onvif --write-settings. Prints, over ROUNDS switches each way:
//   - the time from the switch to each cell's first picture, for the shared
//     cameras (moved to other cells) and the new ones, against the time the
//     same cameras took to show their first picture when the wall opened;
//   - the streams opened for shared cameras during the switches (reconnects);
//   - the wall's processor time during TOUR_SECONDS of a tour of three
//     layouts against the same wall not touring, as a ratio.
// The simulated cameras run in their own process and are not counted.
// With SHOTS_DIR it first saves pictures of a spotlight layout beside the
// camera list, and of the wall moved to the second screen when there is one.
//   wall_layout_switch_bench SETTINGS_FILE [ROUNDS [TOUR_SECONDS [PERIOD_SECONDS [SHOTS_DIR]]]]
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "live/camera_stream.h"
#include "platform/clock.h"
#include "platform/network_guard.h"
#include "shell/qt_shell.h"
#include "tavolin/camera_list.h"
#include "wall/camera_wall_dlg.h"
#include "wall/wall_cell.h"

namespace {

using tavolin::WallArrangement;
using tavolin::WallLayout;
using Cells = std::vector<std::optional<int>>;

constexpr int kGiveUpMs = 30000;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void spinFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double worst(const std::vector<double>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); }

// When each cell was last painted, on the timer the switch started.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(tavolin::ui::CameraWallDlg& wall) {
        for (int i = 0; i < 16; ++i) wall.cell(i)->installEventFilter(this);
        timer_.start();
    }
    // Forgets the paints so far, and starts the timer again.
    void restart() {
        first_.fill(-1);
        timer_.restart();
    }
    double firstPaintMs(int cell) const { return first_[static_cast<std::size_t>(cell)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const auto* cell = static_cast<tavolin::ui::WallCell*>(watched);
            for (std::size_t i = 0; i < 16; ++i) {
                if (cell->parentWidget() != nullptr && first_[i] < 0 &&
                    cell == static_cast<tavolin::ui::CameraWallDlg*>(cell->parentWidget())->cell(static_cast<int>(i))) {
                    first_[i] = static_cast<double>(timer_.nsecsElapsed()) / 1e6;
                }
            }
        }
        return false;
    }

private:
    QElapsedTimer timer_;
    std::array<double, 16> first_{};
};

// Milliseconds until every cell holding a camera was handed a picture newer
// than it had, per cell; -1 for a cell that showed none in time. A camera
// that moved cells brings its picture along: it counts at once.
std::vector<double> firstPictures(tavolin::ui::CameraWallDlg& wall, const std::array<long, 16>& before) {
    std::vector<double> ms(16, -2); // -2: an empty cell
    QElapsedTimer timer;
    timer.start();
    bool waiting = true;
    while (waiting && timer.elapsed() < kGiveUpMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        waiting = false;
        for (int i = 0; i < wall.controller().grid().cells(); ++i) {
            if (wall.cell(i)->camera() < 0 || ms[static_cast<std::size_t>(i)] >= 0) continue;
            if (wall.cell(i)->presentedPictures() > before[static_cast<std::size_t>(i)]) {
                ms[static_cast<std::size_t>(i)] = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            } else {
                waiting = true;
            }
        }
    }
    for (double& m : ms) {
        if (m == -2 || m >= 0) continue;
        m = -1;
    }
    return ms;
}

std::array<long, 16> presented(tavolin::ui::CameraWallDlg& wall) {
    std::array<long, 16> counts{};
    for (int i = 0; i < 16; ++i) counts[static_cast<std::size_t>(i)] = wall.cell(i)->presentedPictures();
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SETTINGS_FILE [ROUNDS [TOUR_SECONDS [PERIOD_SECONDS]]]\n", argv[0]);
        return 2;
    }
    if (!platform::loopbackOnly()) {
        std::fprintf(stderr, "TAVOLIN_LOOPBACK_ONLY=1 is required\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const int tourSeconds = argc > 3 ? std::max(5, std::atoi(argv[3])) : 30;
    const int periodSeconds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    tavolin::CameraList list(argv[1]);
    tavolin::ui::CameraWallDlg::Records records{};
    std::map<int, int> positionOfPort; // a camera's HTTP port: its position
    for (int i = 0; i < tavolin::kCameraCount; ++i) {
        records[static_cast<std::size_t>(i)] = list.record(i);
        positionOfPort[static_cast<int>(list.record(i)->httpPort)] = i;
    }
    // A: cameras 0..13; B: the twelve shared ones in other cells, and 14, 15;
    // C (for the tour): 4..15.
    Cells a(16), b(16), c(16);
    for (int i = 0; i < 14; ++i) a[static_cast<std::size_t>(i)] = i;
    for (int i = 0; i < 12; ++i) b[static_cast<std::size_t>(i)] = 11 - i;
    b[12] = 14;
    b[13] = 15;
    for (int i = 0; i < 12; ++i) c[static_cast<std::size_t>(i)] = 4 + i;
    tavolin::WallSettings settings{.layout = WallLayout::Grid4x4};
    // D (for the pictures): one big cell beside seven.
    settings.arrangements = {{"A", WallLayout::Grid4x4, a},
                             {"B", WallLayout::Grid4x4, b},
                             {"C", WallLayout::Grid4x4, c},
                             WallArrangement::of("D", WallLayout::BigAndSeven, {5, 0, 1, 2, 3, 4, 6, 7})};
    settings.shown = 1;
    settings.tour = {{1, 2, 3}, periodSeconds, false};

    std::map<int, int> opened; // streams opened per camera position
    auto streams = [&](const tavolin::ui::StreamSettings& s) -> std::unique_ptr<tavolin::ui::LiveStream> {
        ++opened[positionOfPort[static_cast<int>(s.connection.httpPort)]];
        return std::make_unique<tavolin::ui::CameraStream>(s);
    };
    tavolin::ui::QtShell shell;
    tavolin::ui::CameraWallDlg wall(records, settings, streams, {}, shell, platform::SystemClock::instance());
    const auto startPictures = presented(wall);
    wall.show();
    const std::vector<double> opening = firstPictures(wall, startPictures);
    std::vector<double> openingShown;
    for (double ms : opening) {
        if (ms >= 0) openingShown.push_back(ms);
    }
    std::printf("opening the wall: %zu cells, first picture median %.0f ms, worst %.0f ms\n", openingShown.size(),
                median(openingShown), worst(openingShown));
    if (argc > 5) {
        const QString folder = QString::fromLocal8Bit(argv[5]);
        wall.showLayout(4);
        wall.toggleCameraList();
        spinFor(4000);
        wall.grab().save(folder + QStringLiteral("/wall-layouts.png"));
        wall.toggleCameraList();
        const auto screens = QGuiApplication::screens();
        std::printf("screens: %lld; the wall on %s, %s\n", static_cast<long long>(screens.size()),
                    qPrintable(wall.screen()->name()), wall.isVisible() ? "shown" : "hidden");
        if (screens.size() > 1) {
            wall.moveToScreen(1);
            std::printf("moving: %s\n", wall.isVisible() ? "shown" : "hidden");
            spinFor(3000);
            std::printf("moved: the wall on screen %lld, %dx%d, %s\n",
                        static_cast<long long>(screens.indexOf(wall.screen())), wall.width(), wall.height(),
                        wall.isVisible() ? "shown" : "hidden");
            wall.grab().save(folder + QStringLiteral("/wall-screen2.png"));
            wall.moveToScreen(0);
            spinFor(2000);
            std::printf("moved back: the wall on screen %lld, %s\n",
                        static_cast<long long>(screens.indexOf(wall.screen())), wall.isVisible() ? "shown" : "hidden");
        }
        wall.showLayout(1);
        spinFor(3000);
    }

    PaintWatch paints(wall);
    std::vector<double> shared;
    std::vector<double> fresh;
    int sharedReconnects = 0;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const int layout : {2, 1}) {
            spinFor(2000); // the cameras that left close, every new one settles
            const auto openedBefore = opened;
            const auto before = presented(wall);
            paints.restart();
            wall.showLayout(layout);
            const std::vector<double> ms = firstPictures(wall, before);
            spinFor(200);
            for (int i = 0; i < 16; ++i) {
                const int camera = wall.cell(i)->camera();
                const double m = ms[static_cast<std::size_t>(i)];
                if (camera < 0) continue;
                if (m < 0) ++failed;
                if (camera < 12) {
                    // Its picture is there at once; it shows with the cell's next paint.
                    shared.push_back(paints.firstPaintMs(i));
                } else {
                    fresh.push_back(m);
                }
            }
            for (int camera = 0; camera < 12; ++camera) {
                sharedReconnects += opened[camera] - (openedBefore.count(camera) ? openedBefore.at(camera) : 0);
            }
        }
    }
    std::printf("switches: %d, cells without a picture in %d ms: %d\n", 2 * rounds, kGiveUpMs, failed);
    std::printf(
        "shared cameras (%zu cells): first paint in the new cell median %.1f ms, worst %.1f ms (target: at most 100)\n",
        shared.size(), median(shared), worst(shared));
    std::printf("new cameras (%zu cells): first picture median %.0f ms, worst %.0f ms; opening the wall: median "
                "%.0f ms (ratio %.2f)\n",
                fresh.size(), median(fresh), worst(fresh), median(openingShown),
                median(fresh) / std::max(1.0, median(openingShown)));
    std::printf("streams opened again for shared cameras: %d (target: 0)\n", sharedReconnects);

    // The same wall, still and touring.
    wall.showLayout(1);
    spinFor(3000);
    double cpu0 = processCpuSeconds();
    spinFor(tourSeconds * 1000);
    const double still = (processCpuSeconds() - cpu0) / tourSeconds;
    QAction* startTour = nullptr;
    for (QAction* item : wall.menu()->actions()) {
        if (item->text() == QStringLiteral("Start Tour")) startTour = item;
    }
    if (startTour == nullptr) {
        std::fprintf(stderr, "no Start Tour in the menu\n");
        return 1;
    }
    startTour->trigger();
    cpu0 = processCpuSeconds();
    spinFor(tourSeconds * 1000);
    const double touring = (processCpuSeconds() - cpu0) / tourSeconds;
    std::printf("CPU over %d s: still %.1f%%, touring A,B,C every %d s %.1f%% (ratio %.2f)\n", tourSeconds, 100 * still,
                periodSeconds, 100 * touring, touring / std::max(1e-9, still));
    wall.press(tavolin::WallKey::Escape);
    spinFor(2000);
    return 0;
}
