// Pointing a camera at a point of its picture, and measuring what its moves
// do: the procedures over an AimCamera. A move is planned (move_planner.h),
// sent, and followed until the picture comes to rest; then the point the
// user meant is looked for in the picture at rest (phase correlation of the
// picture around it, as the user saw it, with the picture's middle) and,
// when it missed the centre, one correction is sent.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <optional>
#include <string>
#include <vector>

#include "aim/aim_camera.h"
#include "aim/calibration.h"
#include "aim/phase_correlation.h"

namespace aim {

struct PointingResult {
    bool moved = false;
    std::string why; // when not moved, or when the point was not found after it
    MovePlan plan;
    int64_t firstRequestMs = -1; // from the call to the first move request returning
    int64_t restMs = -1;         // from the call to the picture at rest
    // Where the point lies after the move, field-of-view units (0, 0 is the
    // centre); nothing when it could not be found again.
    std::optional<Point> landed;
    bool corrected = false;
};

struct CalibrationResult {
    std::optional<Calibration> calibration;
    std::string why;
    int64_t elapsedMs = 0;
    std::vector<Measurement> measurements;
};

class Pointer {
public:
    // Pictures are compared at `sampleWidth` pixels wide.
    explicit Pointer(AimCamera& camera, int sampleWidth = 256);

    const Capabilities& capabilities();

    // A grey sample of the picture shown now (what the user sees), to give
    // to centre() as the picture the target was chosen on.
    std::optional<GrayPicture> snapshot();

    // Centres `target` (and magnifies for a box) using `calibration` where
    // the camera needs one. `reference`: the picture the target was chosen
    // on, for the check after the move (none: no check).
    PointingResult centre(const Target& target, const Calibration* calibration, const GrayPicture* reference);

    // Measures the camera's moves at the zoom positions given (the current
    // one alone when there are none or the camera cannot be sent to one).
    // `speed`: the speed of timed moves, for cameras without relative moves.
    // Wide to well into tele; further in, the rates go on along the last two.
    static constexpr std::array<double, 3> kCalibrationZooms{0.0, 0.35, 0.7};
    CalibrationResult calibrate(int speed = 3, std::span<const double> zooms = kCalibrationZooms);

    // Waits until the picture stops changing; the picture then. `noMotionMs`:
    // how long to wait for the picture to start moving before taking it as
    // not moving at all.
    std::optional<GrayPicture> waitForRest(int noMotionMs = 1200, int maxMs = 8000);

    // The correlator at the sample size of the camera's pictures.
    PhaseCorrelator* correlator();
    SampleSize sampleSize();

private:
    // True when the picture did not move between two pictures in a row.
    bool stillBetween(const GrayPicture& a, const GrayPicture& b);
    bool execute(const MovePlan& plan, int64_t start, PointingResult& result);
    std::optional<Point> locate(const GrayPicture& reference, Point share, const GrayPicture& now);
    bool moveBy(bool timed, int speed, double pan, double tilt);
    std::optional<CalibrationPoint> measureHere(bool timed, int speed, double zoom, std::vector<Measurement>& all,
                                                std::string& why);
    std::optional<double> measureZoomRate(int speed);

    AimCamera& camera_;
    const int sampleWidth_;
    std::optional<Capabilities> capabilities_;
    bool relativeRefused_ = false;
    std::unique_ptr<PhaseCorrelator> correlator_;
    std::unique_ptr<PhaseCorrelator> patchCorrelator_;
    std::unique_ptr<PhaseCorrelator> columnCorrelator_; // halves, for telling a zoom
    std::unique_ptr<PhaseCorrelator> rowCorrelator_;
};

} // namespace aim
