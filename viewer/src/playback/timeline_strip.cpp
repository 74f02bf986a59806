#include "playback/timeline_strip.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <array>

#include "tavolin/playback_controller.h"
#include "tavolin/timeline_model.h"

namespace tavolin::ui {

namespace {

constexpr int kLabelHeight = 16;
constexpr int kRecordingTop = 18;
constexpr int kRecordingHeight = 16;
constexpr int kClipTop = 36;
constexpr int kClipHeight = 10;
constexpr int kMarkTop = 48;
constexpr int kMarkHeight = 14;
constexpr int kMinLabelGap = 70; // pixels between two time labels

QColor recordingColour(bool enabled) { return enabled ? QColor(58, 134, 214) : QColor(110, 110, 110); }
QColor clipColour(bool enabled) { return enabled ? QColor(236, 156, 38) : QColor(140, 140, 140); }

QColor markColour(uint8_t kinds) {
    if (kinds & (1u << static_cast<unsigned>(MarkKind::Motion))) return {230, 60, 60};
    if (kinds & (1u << static_cast<unsigned>(MarkKind::Input))) return {70, 200, 100};
    return {230, 230, 230};
}

// Runs of columns with the same value as one rectangle each.
template <class Has>
void fillRuns(QPainter& painter, const std::vector<TimelineBin>& bins, int left, int top, int height,
              const QColor& colour, Has has) {
    const int n = static_cast<int>(bins.size());
    for (int i = 0; i < n;) {
        if (!has(bins[static_cast<std::size_t>(i)])) {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && has(bins[static_cast<std::size_t>(j)])) ++j;
        painter.fillRect(left + i, top, j - i, height, colour);
        i = j;
    }
}

int64_t labelStep(int64_t viewLength, int width) {
    static constexpr std::array<int64_t, 13> kSteps = {5'000,     10'000,     30'000,    60'000,    120'000,
                                                       300'000,   600'000,    900'000,   1'800'000, 3'600'000,
                                                       7'200'000, 10'800'000, 21'600'000};
    for (const int64_t step : kSteps) {
        if (static_cast<double>(step) * width / static_cast<double>(viewLength) >= kMinLabelGap) return step;
    }
    return kSteps.back();
}

void paintLabels(QPainter& painter, const QRect& area, const TimelineModel& model) {
    const int64_t step = labelStep(model.viewLength(), area.width());
    const QString format = step < 60'000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    // Labels at whole steps from the day's start (a local midnight).
    int64_t t = model.dayStart() + (model.viewFrom() - model.dayStart() + step - 1) / step * step;
    painter.setPen(QColor(200, 200, 200));
    for (; t <= model.viewTo(); t += step) {
        const int x = area.left() + static_cast<int>(model.xOf(t));
        painter.drawLine(x, area.top() + kLabelHeight - 4, x, area.bottom());
        const QString text = QDateTime::fromMSecsSinceEpoch(t).toString(format);
        painter.drawText(QRect(x + 3, area.top(), kMinLabelGap, kLabelHeight), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

} // namespace

void paintTimeline(QPainter& painter, const QRect& area, const TimelineModel& model, const TimelinePaint& what) {
    painter.fillRect(area, what.enabled ? QColor(28, 30, 34) : QColor(60, 60, 60));
    const auto& bins = model.bins();
    const int left = area.left();
    fillRuns(painter, bins, left, area.top() + kRecordingTop, kRecordingHeight, recordingColour(what.enabled),
             [](const TimelineBin& b) { return b.recording; });
    fillRuns(painter, bins, left, area.top() + kClipTop, kClipHeight, clipColour(what.enabled),
             [](const TimelineBin& b) { return b.clip; });
    // One mark a column, taller with more events in it.
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const TimelineBin& b = bins[i];
        if (b.events == 0) continue;
        const int h = std::min(kMarkHeight, 6 + 2 * static_cast<int>(b.events));
        // Three pixels wide, so that a lone event is seen on a wide screen.
        painter.fillRect(left + static_cast<int>(i) - 1, area.top() + kMarkTop + kMarkHeight - h, 3, h,
                         what.enabled ? markColour(b.markKinds) : QColor(150, 150, 150));
    }
    paintLabels(painter, area, model);
    if (what.enabled && what.playheadMs >= model.viewFrom() && what.playheadMs <= model.viewTo()) {
        const int x = left + static_cast<int>(model.xOf(what.playheadMs));
        painter.fillRect(x - 1, area.top(), 2, area.height(), QColor(255, 230, 0));
    }
    if (!what.notice.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(area.adjusted(8, kLabelHeight, -8, 0), Qt::AlignCenter, what.notice);
    }
}

TimelineStrip::TimelineStrip(PlaybackController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller) {
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void TimelineStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    controller_.timeline().setWidth(width());
}

void TimelineStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TimelinePaint what;
    what.playheadMs = controller_.playheadMs();
    what.enabled = controller_.availability() != PlaybackAvailability::Unavailable;
    switch (controller_.availability()) {
    case PlaybackAvailability::Checking: what.notice = QStringLiteral("Asking the camera..."); break;
    case PlaybackAvailability::Searching: what.notice = QStringLiteral("Searching the day's recordings..."); break;
    case PlaybackAvailability::Unavailable:
        what.notice = QStringLiteral("No playback: %1").arg(QString::fromStdString(controller_.reason()));
        break;
    case PlaybackAvailability::Ready: break;
    }
    paintTimeline(painter, rect(), controller_.timeline(), what);
}

void TimelineStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !controller_.commandsEnabled()) return QWidget::mousePressEvent(event);
    dragging_ = true;
    controller_.seek(controller_.timeline().timeAt(event->position().x()));
    event->accept();
}

void TimelineStrip::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QWidget::mouseMoveEvent(event);
    controller_.scrubTo(controller_.timeline().timeAt(event->position().x()));
    event->accept();
}

void TimelineStrip::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void TimelineStrip::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return QWidget::wheelEvent(event);
    controller_.timeline().zoom(steps > 0 ? 2.0 * steps : 1.0 / (-2.0 * steps),
                                controller_.timeline().timeAt(event->position().x()));
    update();
    event->accept();
}

} // namespace tavolin::ui
