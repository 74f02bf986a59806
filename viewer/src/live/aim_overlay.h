// What the live view draws over the picture while pointing a PTZ camera:
// the box being drawn, and for a moment where the camera was sent (a ring
// round a point, or the box). GUI thread only.
#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>
#include <optional>

class QPainter;
class QWidget;

namespace tavolin::ui {

class AimOverlay final : public QObject {
    Q_OBJECT

public:
    static constexpr int kTargetShownMs = 1500;

    explicit AimOverlay(QWidget& view);

    // A rectangle of no size is a point.
    void showTarget(QRect target);
    void showBox(std::optional<QRect> box);
    void paint(QPainter& painter) const;

    std::optional<QRect> target() const { return target_; }

private:
    QWidget& view_;
    std::optional<QRect> target_;
    std::optional<QRect> box_;
    QTimer hideTimer_;
};

} // namespace tavolin::ui
