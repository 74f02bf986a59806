#include "aim/geometry.h"

#include <algorithm>

namespace aim {

namespace {

Point toPicture(Point view, const Rect& shown, const Rect& part) {
    const double u = (view.x - shown.x) / shown.width;
    const double v = (view.y - shown.y) / shown.height;
    return {part.x + u * part.width, part.y + v * part.height};
}

bool usable(const Rect& r) { return r.width > 0.0 && r.height > 0.0; }

} // namespace

std::optional<Point> pictureShareAt(Point view, const Rect& shown, const Rect& part) {
    if (!usable(shown) || !usable(part)) return std::nullopt;
    if (view.x < shown.x || view.y < shown.y || view.x > shown.x + shown.width || view.y > shown.y + shown.height)
        return std::nullopt;
    return toPicture(view, shown, part);
}

std::optional<Rect> pictureBoxBetween(Point corner1, Point corner2, const Rect& shown, const Rect& part) {
    if (!usable(shown) || !usable(part)) return std::nullopt;
    const double left = std::max(std::min(corner1.x, corner2.x), shown.x);
    const double right = std::min(std::max(corner1.x, corner2.x), shown.x + shown.width);
    const double top = std::max(std::min(corner1.y, corner2.y), shown.y);
    const double bottom = std::min(std::max(corner1.y, corner2.y), shown.y + shown.height);
    if (right <= left || bottom <= top) return std::nullopt;
    const Point a = toPicture({left, top}, shown, part);
    const Point b = toPicture({right, bottom}, shown, part);
    return Rect{a.x, a.y, b.x - a.x, b.y - a.y};
}

Point fovOf(Point share) { return {share.x * 2.0 - 1.0, 1.0 - share.y * 2.0}; }

Point shareOfFov(Point fov) { return {(fov.x + 1.0) / 2.0, (1.0 - fov.y) / 2.0}; }

double fillMagnification(const Rect& box) {
    const double side = std::max(box.width, box.height);
    return side > 0.0 ? std::max(1.0, 1.0 / side) : 1.0;
}

} // namespace aim
