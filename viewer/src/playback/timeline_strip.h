// The playback timeline as a strip: the camera's recordings and Tavolin's
// clips as bars of two colours, events as marks, time labels and the
// picture shown as a line. A click or drag shows the picture at that time;
// the wheel zooms around the pointer. Greyed, with the reason, while the
// camera offers nothing to play.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

namespace tavolin {
class PlaybackController;
class TimelineModel;
} // namespace tavolin

namespace tavolin::ui {

struct TimelinePaint {
    int64_t playheadMs = 0;
    bool enabled = true;
    QString notice; // over the strip when not empty (why it is greyed, what is searched)
};

// Paints `model` (its width set to area's) into `area`; the benchmark
// draws with it too.
void paintTimeline(QPainter& painter, const QRect& area, const TimelineModel& model, const TimelinePaint& what);

class TimelineStrip final : public QWidget {
public:
    static constexpr int kHeight = 64;

    TimelineStrip(PlaybackController& controller, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    PlaybackController& controller_;
    bool dragging_ = false;
};

} // namespace tavolin::ui
