// Where the user pointed, in the terms a camera is steered in. A point of
// the view becomes a point of the camera's picture (the bars beside a
// picture kept in its aspect, and the part the digital zoom magnifies, taken
// into account), given as shares of the whole picture from its top left;
// and from there a point of the field of view: the picture's centre at 0,
// its edges at -1 and 1, y up.
#pragma once

#include <optional>

namespace aim {

struct Point {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    bool operator==(const Rect&) const = default;
    Point centre() const { return {x + width / 2.0, y + height / 2.0}; }
};

// The whole picture, in shares of itself.
inline constexpr Rect kWholePicture{0.0, 0.0, 1.0, 1.0};

// The picture point under `view` (view pixels). `shown`: where the picture
// lies in the view; `part`: the part of the picture shown there, in shares
// (kWholePicture without digital zoom). Nothing on a bar or outside.
std::optional<Point> pictureShareAt(Point view, const Rect& shown, const Rect& part = kWholePicture);

// The picture box between two corners dragged on the view, cut to the
// picture shown. Nothing when no part of it lies on the picture or it has
// no area there.
std::optional<Rect> pictureBoxBetween(Point corner1, Point corner2, const Rect& shown,
                                      const Rect& part = kWholePicture);

// A share of the picture as a field-of-view point, and back.
Point fovOf(Point share);
Point shareOfFov(Point fov);

// How much the view must magnify for `box` (shares) to fill the picture
// with all of it in view: 1 / its larger side, at least 1.
double fillMagnification(const Rect& box);

} // namespace aim
