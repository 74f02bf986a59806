#include "live/digital_zoom.h"

#include <algorithm>
#include <cmath>

namespace tavolin::ui {

QRectF DigitalZoom::part() const {
    const double side = 1.0 / factor_;
    return {origin_.x(), origin_.y(), side, side};
}

bool DigitalZoom::zoomBy(double ratio, QPointF at) {
    if (!(ratio > 0.0)) return false;
    const QRectF before = part();
    const double next = std::clamp(factor_ * ratio, kMinFactor, kMaxFactor);
    // The picture point under `at` stays under it.
    const QPointF fixed(before.x() + at.x() * before.width(), before.y() + at.y() * before.height());
    factor_ = next;
    origin_ = fixed - at / factor_;
    clampOrigin();
    return part() != before;
}

bool DigitalZoom::zoomSteps(double steps, QPointF at) { return zoomBy(std::pow(kStep, steps), at); }

bool DigitalZoom::pan(QPointF delta) {
    const QRectF before = part();
    origin_ -= delta / factor_;
    clampOrigin();
    return part() != before;
}

bool DigitalZoom::reset() {
    const bool zoomed = isZoomed();
    factor_ = kMinFactor;
    origin_ = {};
    return zoomed;
}

void DigitalZoom::clampOrigin() {
    const double room = 1.0 - 1.0 / factor_;
    origin_.setX(std::clamp(origin_.x(), 0.0, room));
    origin_.setY(std::clamp(origin_.y(), 0.0, room));
}

QPointF pictureShare(QPoint point, const QRect& target) {
    if (target.isEmpty()) return {0.5, 0.5};
    const double x = static_cast<double>(point.x() - target.x()) / target.width();
    const double y = static_cast<double>(point.y() - target.y()) / target.height();
    return {std::clamp(x, 0.0, 1.0), std::clamp(y, 0.0, 1.0)};
}

} // namespace tavolin::ui
