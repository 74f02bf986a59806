#include "live/zoom_input.h"

#include <QGestureEvent>
#include <QNativeGestureEvent>
#include <QPinchGesture>
#include <QWheelEvent>
#include <QWidget>

#include "live/digital_zoom.h"

namespace tavolin::ui {

std::optional<ZoomKey> zoomKeyOf(int key) {
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: return ZoomKey::In;
    case Qt::Key_Minus: return ZoomKey::Out;
    case Qt::Key_0: return ZoomKey::Reset;
    default: return std::nullopt;
    }
}

double wheelSteps(const QWheelEvent& event) {
    // One notch is 120 eighths of a degree.
    constexpr double kNotch = 120.0;
    return event.angleDelta().y() / kNotch;
}

std::optional<Pinch> pinchOf(QEvent* event, const QWidget& widget) {
    if (event->type() == QEvent::NativeGesture) {
        const auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture) return std::nullopt;
        return Pinch{1.0 + gesture->value(), gesture->position()};
    }
    if (event->type() == QEvent::Gesture) {
        auto* gestures = static_cast<QGestureEvent*>(event);
        auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture));
        if (pinch == nullptr || !(pinch->changeFlags() & QPinchGesture::ScaleFactorChanged)) return std::nullopt;
        gestures->accept(pinch);
        return Pinch{pinch->scaleFactor(), widget.mapFromGlobal(pinch->centerPoint())};
    }
    return std::nullopt;
}

bool applyZoomKey(DigitalZoom& zoom, ZoomKey key, QPointF at) {
    switch (key) {
    case ZoomKey::In: return zoom.zoomSteps(1, at);
    case ZoomKey::Out: return zoom.zoomSteps(-1, at);
    case ZoomKey::Reset: return zoom.reset();
    }
    return false;
}

} // namespace tavolin::ui
