// What a camera's moves do to its picture, measured from the picture: for
// each zoom position measured, how far the picture's centre travels in
// field-of-view units (the picture's half width and half height) for one
// unit of pan and of tilt. A unit is one unit of the camera's generic
// translation space, or one second of a continuous move at the calibrated
// speed. A negative rate is an axis that runs the other way.
//
// Between zoom positions the rates are interpolated straight (a lens whose
// position follows its focal length); past the ends they go on along the
// nearest two points. The same table tells where to zoom to
// magnify the picture a given number of times: where the rates are that
// many times larger (a narrower view travels more of itself per unit).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aim/geometry.h"
#include "aim/phase_correlation.h"

namespace aim {

struct AxisRates {
    double pan = 0.0;
    double tilt = 0.0;
    bool operator==(const AxisRates&) const = default;
};

struct CalibrationPoint {
    double zoom = 0.0; // the generic zoom position, 0 wide to 1 tele; 0 when not known
    AxisRates rates;
    bool operator==(const CalibrationPoint&) const = default;
};

enum class MoveUnit {
    Translation, // one unit of the generic translation space
    Second,      // one second of a continuous move at `speed`
};

class Calibration {
public:
    static constexpr std::size_t kMaxPoints = 6;

    MoveUnit unit = MoveUnit::Translation;
    int speed = 0; // for MoveUnit::Second: the speed (1..5) the moves ran at
    // For timed moves: how many times a second the picture doubles while
    // zooming in (0: not measured).
    double zoomDoublingsPerSecond = 0.0;

    const std::vector<CalibrationPoint>& points() const { return points_; }
    bool empty() const { return points_.empty(); }
    // Adds a point, replacing one within 0.01 of its zoom; the table keeps
    // the kMaxPoints nearest to the latest.
    void add(const CalibrationPoint& point);

    std::optional<AxisRates> ratesAt(double zoom) const;
    // The zoom position (0..1) where the picture is `magnification` times as
    // large as at `zoom`; nothing without two points of different rates.
    std::optional<double> zoomMagnifying(double zoom, double magnification) const;

    // One line for the settings file, and back; nothing for a line that is
    // not one (the caller then calibrates again).
    std::string toText() const;
    static std::optional<Calibration> fromText(std::string_view text);

    bool operator==(const Calibration&) const = default;

private:
    std::vector<CalibrationPoint> points_; // by zoom
};

// One measured move: what was sent and how the picture moved.
struct Measurement {
    double zoom = 0.0;
    double pan = 0.0; // units of the move on each axis
    double tilt = 0.0;
    Shift shift; // in pixels of a picture of sampleWidth x sampleHeight
    int sampleWidth = 0;
    int sampleHeight = 0;
};

// Below this correlation peak a measured shift is noise, not a move.
inline constexpr double kMinPeak = 0.12;
// A move whose picture travelled less than this (field-of-view units) did
// not move it measurably.
inline constexpr double kMinTravel = 0.01;

// Where the picture's centre went, in field-of-view units, for a shift of the
// picture's content.
Point viewTravel(const Shift& shift, int sampleWidth, int sampleHeight);

// The rates at one zoom position from its measurements (least squares per
// axis through the origin). A measurement with a low peak is refused, and so
// is an axis none of whose moves moved the picture; `why` says which.
struct Fit {
    std::optional<CalibrationPoint> point;
    std::string why;
};
Fit fitPoint(const std::vector<Measurement>& measurements, double minPeak = kMinPeak);

} // namespace aim
