#include "aim/move_planner.h"

#include <algorithm>
#include <cmath>

namespace aim {

namespace {

int directionOf(double seconds) {
    if (std::lround(std::abs(seconds) * 1000.0) < kShortestStepMs) return 0;
    return seconds > 0.0 ? 1 : -1;
}

MovePlan refused(std::string why) {
    MovePlan plan;
    plan.why = std::move(why);
    return plan;
}

bool magnifies(const Target& t) { return std::abs(t.magnification - 1.0) > 1e-3; }

} // namespace

std::vector<TimedStep> timedSteps(double panSeconds, double tiltSeconds, double zoomSeconds) {
    std::vector<TimedStep> steps;
    const int pan = directionOf(panSeconds);
    const int tilt = directionOf(tiltSeconds);
    const int panMs = pan != 0 ? static_cast<int>(std::lround(std::abs(panSeconds) * 1000.0)) : 0;
    const int tiltMs = tilt != 0 ? static_cast<int>(std::lround(std::abs(tiltSeconds) * 1000.0)) : 0;
    const int together = std::min(pan != 0 ? panMs : 0, tilt != 0 ? tiltMs : 0);
    if (together >= kShortestStepMs) steps.push_back({pan, tilt, 0, together});
    const int alone = std::max(panMs, tiltMs) - (together >= kShortestStepMs ? together : 0);
    if (alone >= kShortestStepMs) {
        const bool panLonger = panMs >= tiltMs;
        steps.push_back({panLonger ? pan : 0, panLonger ? 0 : tilt, 0, alone});
    }
    const int zoom = directionOf(zoomSeconds);
    if (zoom != 0) steps.push_back({0, 0, zoom, static_cast<int>(std::lround(std::abs(zoomSeconds) * 1000.0))});
    return steps;
}

MovePlan planMove(const Target& target, const Capabilities& camera, const Calibration* calibration,
                  std::optional<double> zoomPosition, bool relativeRefused) {
    const bool zooming = magnifies(target) && camera.zoom;
    if (camera.fovPanTilt && !relativeRefused && (!zooming || camera.fovZoom)) {
        MovePlan plan;
        plan.kind = MovePlan::Kind::FovRelative;
        plan.pan = target.fov.x;
        plan.tilt = target.fov.y;
        plan.zoom = zooming ? 1.0 / target.magnification : 1.0;
        return plan;
    }
    if (calibration == nullptr || calibration->empty())
        return refused("the camera has not been calibrated: its moves are not known yet");
    const double zoomNow = zoomPosition.value_or(0.0);
    const std::optional<AxisRates> rates = calibration->ratesAt(zoomNow);
    if (!rates || rates->pan == 0.0 || rates->tilt == 0.0) return refused("the calibration has no rate for an axis");
    const double pan = target.fov.x / rates->pan;
    const double tilt = target.fov.y / rates->tilt;

    if (calibration->unit == MoveUnit::Translation) {
        if (!camera.relative || relativeRefused)
            return refused("the camera takes no relative moves, and its timed moves are not calibrated");
        MovePlan plan;
        plan.kind = MovePlan::Kind::GenericRelative;
        plan.pan = pan;
        plan.tilt = tilt;
        if (zooming) {
            const std::optional<double> to = calibration->zoomMagnifying(zoomNow, target.magnification);
            if (to) plan.zoom = *to - zoomNow;
        }
        return plan;
    }
    MovePlan plan;
    plan.kind = MovePlan::Kind::Timed;
    plan.speed = calibration->speed;
    const double zoomSeconds = zooming && calibration->zoomDoublingsPerSecond > 0.0
                                   ? std::log2(target.magnification) / calibration->zoomDoublingsPerSecond
                                   : 0.0;
    plan.steps = timedSteps(pan, tilt, zoomSeconds);
    return plan;
}

} // namespace aim
