// The digital zoom of one place (the single view, a wall cell): how many
// times the picture is magnified, from 1 to 8, and which part of it is shown.
// Zooming keeps the picture point under the pointer where it is; panning
// moves the shown part with the pointer; the part always stays inside the
// picture. Points and moves are given as shares of the picture as it is
// shown, from (0, 0) at its top left to (1, 1) at its bottom right.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>

namespace tavolin::ui {

class DigitalZoom {
public:
    static constexpr double kMinFactor = 1.0;
    static constexpr double kMaxFactor = 8.0;
    // One wheel notch, one pinch step or one press of + or -.
    static constexpr double kStep = 1.25;

    double factor() const { return factor_; }
    bool isZoomed() const { return factor_ > kMinFactor; }
    // The part of the picture shown: the whole (0, 0, 1, 1) without zoom.
    QRectF part() const;

    // Magnifies `ratio` times (below 1 zooms out) around `at`. True when
    // the part shown changed.
    bool zoomBy(double ratio, QPointF at);
    // `steps` of kStep (negative zooms out), as a wheel or the keys give them.
    bool zoomSteps(double steps, QPointF at);
    // The pointer moved `delta` of the shown picture's size: the picture
    // moves with it. True when the part shown changed.
    bool pan(QPointF delta);
    // Back to the whole picture; true when it was zoomed.
    bool reset();

private:
    void clampOrigin();

    double factor_ = kMinFactor;
    QPointF origin_; // top left of the part shown, in shares of the picture
};

// Where `point` lies on a picture shown in `target`, as a share of it, held
// to the picture's edges; the middle of an empty target.
QPointF pictureShare(QPoint point, const QRect& target);

} // namespace tavolin::ui
