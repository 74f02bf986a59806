// How long the playback timeline takes to draw a day with 10,000 events and
// 500 recordings (and 200 clips), 1920 pixels wide: working out the pixel
// columns after a zoom or new content (the model), painting them (the
// strip), and both, at the whole day and zoomed to an hour. Beside them, in
// the same run, the strip painted without columns (each span and event drawn
// on its own), the way the columns are there to avoid.
//
//   timeline_draw_bench [--runs N]
//
// Prints the median and the slowest of N runs of each, in milliseconds; a
// frame at 60 Hz has 16.7.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "playback/timeline_strip.h"
#include "tavolin/timeline_model.h"

namespace {

using tavolin::MarkKind;
using tavolin::SpanKind;
using tavolin::TimelineEvent;
using tavolin::TimelineModel;
using tavolin::TimelineSpan;

constexpr int64_t kDay = 1'700'000'000'000;
constexpr int kWidth = 1920;
constexpr int kHeight = 64;

struct Figures {
    double medianMs;
    double slowestMs;
};

Figures measure(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

TimelineModel busyDay() {
    std::mt19937_64 random(41);
    TimelineModel model;
    model.setDay(kDay);
    model.setWidth(kWidth);
    // 500 recordings of the day's 86,400 seconds, with gaps between them.
    std::vector<TimelineSpan> recordings;
    const int64_t slot = TimelineModel::kDayMs / 500;
    for (int i = 0; i < 500; ++i) {
        const int64_t from = kDay + i * slot;
        recordings.push_back({from, from + slot - static_cast<int64_t>(random() % (slot / 3)), SpanKind::Recording});
    }
    std::vector<TimelineSpan> clips;
    for (int i = 0; i < 200; ++i) {
        const int64_t from = kDay + static_cast<int64_t>(random() % TimelineModel::kDayMs);
        clips.push_back({from, from + 30'000 + static_cast<int64_t>(random() % 60'000), SpanKind::Clip});
    }
    std::vector<TimelineEvent> events;
    for (int i = 0; i < 10'000; ++i) {
        events.push_back({kDay + static_cast<int64_t>(random() % TimelineModel::kDayMs),
                          i % 5 == 0 ? MarkKind::Input : MarkKind::Motion});
    }
    model.setSpans(SpanKind::Recording, recordings);
    model.setSpans(SpanKind::Clip, clips);
    model.setEvents(events);
    return model;
}

// Every span and event drawn on its own, with no columns worked out.
void paintEachItem(QPainter& painter, const TimelineModel& model) {
    painter.fillRect(0, 0, kWidth, kHeight, QColor(28, 30, 34));
    for (const TimelineSpan& s : model.spans()) {
        if (s.toMs <= model.viewFrom() || s.fromMs >= model.viewTo()) continue;
        const double x0 = model.xOf(std::max(s.fromMs, model.viewFrom()));
        const double x1 = model.xOf(std::min(s.toMs, model.viewTo()));
        painter.fillRect(QRectF(x0, s.kind == SpanKind::Recording ? 18 : 36, std::max(1.0, x1 - x0), 16),
                         s.kind == SpanKind::Recording ? QColor(58, 134, 214) : QColor(236, 156, 38));
    }
    for (const TimelineEvent& e : model.events()) {
        if (e.timeMs < model.viewFrom() || e.timeMs >= model.viewTo()) continue;
        painter.fillRect(QRectF(model.xOf(e.timeMs), 48, 1, 14), QColor(230, 60, 60));
    }
}

void report(const char* what, const Figures& f) {
    std::printf("%-52s median %7.3f ms  slowest %7.3f ms\n", what, f.medianMs, f.slowestMs);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int runs = 200;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    }
    TimelineModel model = busyDay();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    const tavolin::ui::TimelinePaint what{kDay + TimelineModel::kDayMs / 2, true, {}};

    std::printf("A day of %zu spans and %zu events, %d x %d pixels, %d runs\n", model.spans().size(),
                model.events().size(), kWidth, kHeight, runs);
    for (const bool zoomed : {false, true}) {
        if (zoomed) model.setViewLength(3'600'000, kDay + TimelineModel::kDayMs / 2);
        const char* view = zoomed ? "an hour" : "the day";
        char line[128];
        // The columns again, as after a zoom, a resize or new content.
        std::snprintf(line, sizeof line, "%s: model (pixel columns worked out)", view);
        report(line, measure(runs, [&] {
                   model.setWidth(kWidth);
                   (void)model.bins();
               }));
        std::snprintf(line, sizeof line, "%s: paint (columns already there)", view);
        report(line, measure(runs, [&] {
                   QPainter painter(&image);
                   tavolin::ui::paintTimeline(painter, image.rect(), model, what);
               }));
        std::snprintf(line, sizeof line, "%s: model and paint", view);
        const Figures both = measure(runs, [&] {
            model.setWidth(kWidth);
            QPainter painter(&image);
            tavolin::ui::paintTimeline(painter, image.rect(), model, what);
        });
        report(line, both);
        std::snprintf(line, sizeof line, "%s: baseline, each span and event drawn", view);
        const Figures each = measure(runs, [&] {
            QPainter painter(&image);
            paintEachItem(painter, model);
        });
        report(line, each);
        std::printf("%s: model and paint take %.2f of the baseline's median\n", view, both.medianMs / each.medianMs);
    }
    return 0;
}
