// What zooms a picture digitally, wherever it is shown (the single view, a
// wall cell): the wheel, a pinch and the + / - keys around the pointer, the
// 0 key back to the whole picture. The arithmetic is DigitalZoom's.
#pragma once

#include <QPointF>
#include <optional>

class QEvent;
class QWheelEvent;
class QWidget;

namespace tavolin::ui {

class DigitalZoom;

enum class ZoomKey { In, Out, Reset };

// + (or =, the same key without Shift on many keyboards), - and 0.
std::optional<ZoomKey> zoomKeyOf(int key);

// Steps of a wheel turn: one a notch, fractions from fine wheels and pads.
double wheelSteps(const QWheelEvent& event);

// A pinch: how many times larger the picture is to get, and around which
// point of `widget`.
struct Pinch {
    double ratio = 1.0;
    QPointF centre;
};
// The pinch an event carries (a touchpad's zoom gesture or a touch screen's
// pinch), nullopt for any other event.
std::optional<Pinch> pinchOf(QEvent* event, const QWidget& widget);

// Applies `key` around `at` (a share of the picture); true when the part
// shown changed.
bool applyZoomKey(DigitalZoom& zoom, ZoomKey key, QPointF at);

} // namespace tavolin::ui
