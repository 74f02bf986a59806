#include "demo/playback_demo.h"

#include <QDir>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "playback/playback_picture.h"
#include "playback/playback_window.h"

namespace tavolin::demo {

namespace {

constexpr int kPollMs = 200;
constexpr int kGiveUpMs = 30000;
constexpr int64_t kTwoHoursMs = 2 * 3600 * 1000;

void picture(ui::PlaybackWindow& window, const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("playback.png"));
    std::fprintf(stderr, "demo: %s %s\n", window.grab().save(path) ? "wrote" : "could not write", qPrintable(path));
    std::fprintf(stderr, "demo: playback: %s\n", qPrintable(window.statusLabel()->text()));
}

} // namespace

void drivePlaybackWindow(ui::PlaybackWindow& opened, const DemoOptions& options) {
    QPointer<ui::PlaybackWindow> window(&opened);
    auto* timer = new QTimer(window);
    auto waited = std::make_shared<int>(0);
    auto stage = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [window, timer, waited, stage, options] {
        PlaybackController& c = window->controller();
        *waited += kPollMs;
        const bool shown =
            c.status().mode == playback::PlayerMode::Paused && window->picture()->surface().presentedCount() > 0;
        if (*waited > kGiveUpMs || c.availability() == PlaybackAvailability::Unavailable) {
            picture(*window, options.screenshotFolder);
            timer->stop();
            window->close();
            return;
        }
        if (!shown) return;
        if (*stage == 0) {
            // Two hours around the picture, then to the event after it.
            c.timeline().setViewLength(kTwoHoursMs, c.playheadMs());
            c.nextEvent();
            *stage = 1;
            return;
        }
        picture(*window, options.screenshotFolder);
        timer->stop();
        window->close();
    });
    timer->start(kPollMs);
}

} // namespace tavolin::demo
