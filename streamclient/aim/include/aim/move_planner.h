// Which move brings a point of the picture to its centre (and, for a box,
// magnifies the picture until the box fills it): one RelativeMove in the
// field-of-view spaces where the camera offers them; else one in the generic
// spaces, sized by the calibration; else continuous moves timed by it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "aim/calibration.h"
#include "aim/geometry.h"

namespace aim {

// What a camera's PTZ offers for pointing.
struct Capabilities {
    bool fovPanTilt = false; // RelativeMove in the field-of-view translation space
    bool fovZoom = false;    // RelativeMove zoom as a ratio of the field of view
    bool relative = false;   // RelativeMove in the generic translation spaces
    bool absolute = false;   // AbsoluteMove in the generic position spaces
    bool position = false;   // the camera tells its position (generic spaces)
    bool zoom = true;        // the camera zooms at all
    bool operator==(const Capabilities&) const = default;
};

// Where to point: a field-of-view point to centre, magnified this many
// times (1: the zoom stays).
struct Target {
    Point fov;
    double magnification = 1.0;
};

// One stretch of a timed move: each axis -1, 0 or 1 (pan right, tilt up,
// zoom in positive) for `ms`.
struct TimedStep {
    int pan = 0;
    int tilt = 0;
    int zoom = 0;
    int ms = 0;
    bool operator==(const TimedStep&) const = default;
};

struct MovePlan {
    enum class Kind {
        None,            // no move possible; `why` says why
        FovRelative,     // pan, tilt in the field-of-view space; zoom the view's ratio (1 none)
        GenericRelative, // pan, tilt, zoom in generic translation units
        Timed,           // `steps` at `speed`
    };
    Kind kind = Kind::None;
    double pan = 0.0;
    double tilt = 0.0;
    double zoom = 0.0;
    std::vector<TimedStep> steps;
    int speed = 0;
    std::string why;
};

// Steps shorter than this are left out: no camera starts and stops in less.
inline constexpr int kShortestStepMs = 15;

// The move for `target`. `zoomPosition`: the camera's generic zoom position
// when it tells it. `relativeRefused`: the camera refused a RelativeMove
// before, so timed moves are used where a calibration in seconds exists.
MovePlan planMove(const Target& target, const Capabilities& camera, const Calibration* calibration,
                  std::optional<double> zoomPosition, bool relativeRefused = false);

// The timed steps for a travel of each axis's time (signed seconds): both
// axes together while both run, then the longer alone; a zoom after them.
std::vector<TimedStep> timedSteps(double panSeconds, double tiltSeconds, double zoomSeconds);

} // namespace aim
