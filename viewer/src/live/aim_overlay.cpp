#include "live/aim_overlay.h"

#include <QPainter>
#include <QPen>
#include <QWidget>

namespace tavolin::ui {

namespace {

constexpr int kRingRadius = 18;
const QColor kTargetColour(255, 220, 0); // the arrows' yellow

} // namespace

AimOverlay::AimOverlay(QWidget& view) : view_(view) {
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(kTargetShownMs);
    connect(&hideTimer_, &QTimer::timeout, this, [this] {
        target_.reset();
        view_.update();
    });
}

void AimOverlay::showTarget(QRect target) {
    target_ = target;
    hideTimer_.start();
    view_.update();
}

void AimOverlay::showBox(std::optional<QRect> box) {
    box_ = box;
    view_.update();
}

void AimOverlay::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // A dark edge under the yellow line keeps it visible on any picture.
    for (const auto& [colour, width] : {std::pair{QColor(0, 0, 0, 160), 4}, std::pair{kTargetColour, 2}}) {
        painter.setPen(QPen(colour, width, Qt::SolidLine));
        if (box_) painter.drawRect(*box_);
        if (!target_) continue;
        if (target_->width() == 0 && target_->height() == 0) {
            const QPoint c = target_->topLeft();
            painter.drawEllipse(c, kRingRadius, kRingRadius);
            painter.drawLine(c - QPoint(kRingRadius + 6, 0), c - QPoint(kRingRadius / 2, 0));
            painter.drawLine(c + QPoint(kRingRadius / 2, 0), c + QPoint(kRingRadius + 6, 0));
            painter.drawLine(c - QPoint(0, kRingRadius + 6), c - QPoint(0, kRingRadius / 2));
            painter.drawLine(c + QPoint(0, kRingRadius / 2), c + QPoint(0, kRingRadius + 6));
        } else {
            painter.drawRect(*target_);
        }
    }
    painter.restore();
}

} // namespace tavolin::ui
