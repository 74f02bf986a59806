#include "aim/pointing.h"

#include <algorithm>
#include <cmath>

namespace aim {

namespace {

// Between two pictures of a camera at rest the content stays within this
// many sample pixels, and agrees at least this well.
constexpr double kStillPixels = 0.35;
constexpr double kStillPeak = 0.25;
// Pictures in a row that must be still.
constexpr int kStillPictures = 3;
constexpr int kPictureWaitMs = 1500;
// A point this far from the centre (field-of-view units; 1.5 % of the
// picture's width) gets one correction.
constexpr double kCorrectBeyond = 0.03;
// Calibration moves: the first try of each kind, and what they aim for.
constexpr double kFirstTranslation = 0.04;
constexpr double kFirstSeconds = 0.12;
constexpr double kWantedTravel = 0.08; // field-of-view units
constexpr double kLargestTravel = 0.6;
constexpr int kCalibrationTries = 5;
// There and back, the picture's travels may differ by this share; timed
// moves more, as each start and stop waits on the network and the camera.
constexpr double kSymmetryTolerance = 0.2;
constexpr double kTimedSymmetryTolerance = 0.35;
constexpr int kZoomProbeMs = 400;

GrayPicture crop(const GrayPicture& picture, int left, int top, int width, int height) {
    GrayPicture out{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        const auto* src = picture.pixels.data() + static_cast<std::size_t>(top + y) * picture.width + left;
        std::copy(src, src + width, out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    return out;
}

} // namespace

Pointer::Pointer(AimCamera& camera, int sampleWidth) : camera_(camera), sampleWidth_(sampleWidth) {}

const Capabilities& Pointer::capabilities() {
    if (!capabilities_) capabilities_ = camera_.capabilities();
    return *capabilities_;
}

SampleSize Pointer::sampleSize() {
    const SampleSize picture = camera_.pictureSize();
    return sampleSizeFor(picture.width, picture.height, sampleWidth_);
}

PhaseCorrelator* Pointer::correlator() {
    const SampleSize size = sampleSize();
    if (size.width <= 0) return nullptr;
    if (!correlator_ || correlator_->width() != size.width || correlator_->height() != size.height)
        correlator_ = std::make_unique<PhaseCorrelator>(size.width, size.height);
    return correlator_.get();
}

std::optional<GrayPicture> Pointer::snapshot() {
    const SampleSize size = sampleSize();
    if (size.width <= 0) return std::nullopt;
    return camera_.nextPicture(size, kPictureWaitMs);
}

bool Pointer::stillBetween(const GrayPicture& a, const GrayPicture& b) {
    PhaseCorrelator* c = correlator();
    if (c == nullptr) return false;
    const Shift whole = c->shift(a, b);
    // The picture agrees with itself unshifted, whatever moves inside it...
    const bool turned =
        !((std::hypot(whole.dx, whole.dy) <= kStillPixels && whole.peak >= kStillPeak) || whole.still >= kStillPeak);
    if (turned) return false;
    // ... and its halves did not move apart, as they do while it zooms.
    const int w = a.width;
    const int h = a.height;
    const int hw = (w / 2) & ~1;
    const int hh = (h / 2) & ~1;
    if (!columnCorrelator_ || columnCorrelator_->width() != hw || columnCorrelator_->height() != h)
        columnCorrelator_ = std::make_unique<PhaseCorrelator>(hw, h);
    if (!rowCorrelator_ || rowCorrelator_->width() != w || rowCorrelator_->height() != hh)
        rowCorrelator_ = std::make_unique<PhaseCorrelator>(w, hh);
    const Shift left = columnCorrelator_->shift(crop(a, 0, 0, hw, h), crop(b, 0, 0, hw, h));
    const Shift right = columnCorrelator_->shift(crop(a, w - hw, 0, hw, h), crop(b, w - hw, 0, hw, h));
    const Shift top = rowCorrelator_->shift(crop(a, 0, 0, w, hh), crop(b, 0, 0, w, hh));
    const Shift bottom = rowCorrelator_->shift(crop(a, 0, h - hh, w, hh), crop(b, 0, h - hh, w, hh));
    const double apart = std::max(std::abs(left.dx - right.dx), std::abs(top.dy - bottom.dy));
    const bool agreed = std::min({left.peak, right.peak, top.peak, bottom.peak}) >= kMinPeak;
    return !(agreed && apart > kStillPixels * 2.0);
}

std::optional<GrayPicture> Pointer::waitForRest(int noMotionMs, int maxMs) {
    PhaseCorrelator* c = correlator();
    if (c == nullptr) return std::nullopt;
    const SampleSize size{c->width(), c->height()};
    const int64_t start = camera_.nowMs();
    // The pictures, not the camera's word, tell when it rests: they come
    // later than its moves by the stream's delay.
    const int64_t pictures = start;
    bool sawMotion = false;
    std::optional<GrayPicture> previous = camera_.nextPicture(size, kPictureWaitMs);
    if (!previous) return std::nullopt;
    int still = 0;
    while (!camera_.cancelled()) {
        std::optional<GrayPicture> current = camera_.nextPicture(size, kPictureWaitMs);
        if (!current) return std::nullopt;
        const bool moving = !stillBetween(*previous, *current);
        still = moving ? 0 : still + 1;
        sawMotion = sawMotion || moving;
        const int64_t now = camera_.nowMs();
        if (still >= kStillPictures && (sawMotion || now - pictures >= noMotionMs)) return current;
        if (now - start >= maxMs) return current;
        previous = std::move(current);
    }
    return std::nullopt;
}

bool Pointer::execute(const MovePlan& plan, int64_t start, PointingResult& result) {
    auto noteRequest = [&] {
        if (result.firstRequestMs < 0) result.firstRequestMs = camera_.nowMs() - start;
    };
    switch (plan.kind) {
    case MovePlan::Kind::None: return false;
    case MovePlan::Kind::FovRelative:
    case MovePlan::Kind::GenericRelative: {
        const bool ok = camera_.relativeMove(plan.kind == MovePlan::Kind::FovRelative, plan.pan, plan.tilt, plan.zoom);
        noteRequest();
        return ok;
    }
    case MovePlan::Kind::Timed:
        for (const TimedStep& step : plan.steps) {
            camera_.startMove(step.pan, step.tilt, step.zoom, plan.speed);
            noteRequest();
            camera_.waitMs(step.ms);
        }
        if (!plan.steps.empty()) camera_.stopMove();
        return true;
    }
    return false;
}

std::optional<Point> Pointer::locate(const GrayPicture& reference, Point share, const GrayPicture& now) {
    if (reference.empty() || now.empty() || reference.width != now.width || reference.height != now.height)
        return std::nullopt;
    const int w = now.width;
    const int h = now.height;
    const int pw = (w / 2) & ~1;
    const int ph = (h / 2) & ~1;
    if (!patchCorrelator_ || patchCorrelator_->width() != pw || patchCorrelator_->height() != ph)
        patchCorrelator_ = std::make_unique<PhaseCorrelator>(pw, ph);
    const double px = share.x * w;
    const double py = share.y * h;
    const int rx = std::clamp(static_cast<int>(std::lround(px - pw / 2.0)), 0, w - pw);
    const int ry = std::clamp(static_cast<int>(std::lround(py - ph / 2.0)), 0, h - ph);
    const int cx = (w - pw) / 2;
    const int cy = (h - ph) / 2;
    const Shift s = patchCorrelator_->shift(crop(reference, rx, ry, pw, ph), crop(now, cx, cy, pw, ph));
    if (s.peak < kMinPeak) return std::nullopt;
    return fovOf({(cx + (px - rx) + s.dx) / w, (cy + (py - ry) + s.dy) / h});
}

PointingResult Pointer::centre(const Target& target, const Calibration* calibration, const GrayPicture* reference) {
    PointingResult result;
    const int64_t start = camera_.nowMs();
    const Capabilities caps = capabilities();
    std::optional<double> zoom;
    if (caps.position) {
        if (const auto p = camera_.position()) zoom = p->zoom;
    }
    result.plan = planMove(target, caps, calibration, zoom, relativeRefused_);
    if (result.plan.kind == MovePlan::Kind::None) {
        result.why = result.plan.why;
        return result;
    }
    if (!execute(result.plan, start, result)) {
        // A camera that refuses relative moves gets timed ones from now on,
        // where the calibration allows.
        relativeRefused_ = true;
        result.plan = planMove(target, caps, calibration, zoom, true);
        if (result.plan.kind == MovePlan::Kind::None || !execute(result.plan, start, result)) {
            result.why = "the camera refused the move; " + result.plan.why;
            return result;
        }
    }
    result.moved = true;
    std::optional<GrayPicture> rest = waitForRest();
    result.restMs = camera_.nowMs() - start;
    const bool zooming = std::abs(target.magnification - 1.0) > 1e-3;
    if (reference == nullptr || !rest) return result;
    const Point share = shareOfFov(target.fov);
    if (zooming) {
        // What the user should now see: the reference magnified around the
        // point. Where it agrees with the picture tells where the point went.
        PhaseCorrelator* c = correlator();
        const GrayPicture expected = magnified(*reference, target.magnification, share.x, share.y);
        const Shift s = c != nullptr ? c->shift(expected, *rest) : Shift{};
        if (s.peak >= kMinPeak) {
            result.landed = fovOf({0.5 + s.dx / rest->width, 0.5 + s.dy / rest->height});
        } else {
            result.why = "the point was not found again in the picture";
        }
        return result;
    }
    result.landed = locate(*reference, share, *rest);
    if (!result.landed) {
        result.why = "the point was not found again in the picture";
        return result;
    }
    if (std::hypot(result.landed->x, result.landed->y) <= kCorrectBeyond) return result;
    MovePlan correction = planMove({*result.landed, 1.0}, caps, calibration, zoom, relativeRefused_);
    if (correction.kind == MovePlan::Kind::None || !execute(correction, start, result)) return result;
    result.corrected = true;
    rest = waitForRest();
    result.restMs = camera_.nowMs() - start;
    if (rest) result.landed = locate(*reference, share, *rest);
    return result;
}

bool Pointer::moveBy(bool timed, int speed, double pan, double tilt) {
    if (!timed) return camera_.relativeMove(false, pan, tilt, 0.0);
    const double seconds = std::max(std::abs(pan), std::abs(tilt));
    camera_.startMove(pan > 0 ? 1 : (pan < 0 ? -1 : 0), tilt > 0 ? 1 : (tilt < 0 ? -1 : 0), 0, speed);
    camera_.waitMs(static_cast<int>(std::lround(seconds * 1000.0)));
    camera_.stopMove();
    return true;
}

std::optional<CalibrationPoint> Pointer::measureHere(bool timed, int speed, double zoom, std::vector<Measurement>& all,
                                                     std::string& why) {
    PhaseCorrelator* c = correlator();
    if (c == nullptr) {
        why = "no picture";
        return std::nullopt;
    }
    std::optional<GrayPicture> before = waitForRest(300);
    if (!before) {
        why = "no picture";
        return std::nullopt;
    }
    // Each axis moves there and back by the same amount: the picture must
    // travel as far each way. Something else moving in the picture (a car,
    // a clock) travels one way only, and a shift that matched the wrong
    // detail rarely matches it twice.
    std::vector<Measurement> here;
    for (int axis = 0; axis < 2 && why.empty(); ++axis) {
        double size = timed ? kFirstSeconds : kFirstTranslation;
        bool measured = false;
        for (int attempt = 0; attempt < kCalibrationTries && !measured && !camera_.cancelled(); ++attempt) {
            Measurement way[2];
            bool ok = true;
            for (int leg = 0; leg < 2 && ok; ++leg) {
                const double step = leg == 0 ? size : -size;
                const double pan = axis == 0 ? step : 0.0;
                const double tilt = axis == 1 ? step : 0.0;
                if (!moveBy(timed, speed, pan, tilt)) {
                    why = "the camera refused a relative move";
                    return std::nullopt;
                }
                std::optional<GrayPicture> after = waitForRest();
                if (!after) {
                    why = "no picture";
                    return std::nullopt;
                }
                way[leg] = Measurement{zoom, pan, tilt, c->shift(*before, *after), c->width(), c->height()};
                before = std::move(after);
                ok = way[leg].shift.peak >= kMinPeak;
            }
            if (!ok) {
                size /= 2.0;
                continue;
            }
            const Point out = viewTravel(way[0].shift, way[0].sampleWidth, way[0].sampleHeight);
            const Point back = viewTravel(way[1].shift, way[1].sampleWidth, way[1].sampleHeight);
            const double outTravel = axis == 0 ? out.x : out.y;
            const double backTravel = axis == 0 ? back.x : back.y;
            const double moved = std::abs(outTravel);
            if (moved > kLargestTravel) {
                size /= 3.0;
            } else if (moved < kWantedTravel) {
                size *= moved > kMinTravel ? std::clamp(kWantedTravel / moved, 1.5, 4.0) : 4.0;
            } else if (std::abs(outTravel + backTravel) >
                       (timed ? kTimedSymmetryTolerance : kSymmetryTolerance) * moved) {
                why = "the picture moved differently each way (something else moves in it, or it has too little "
                      "detail)";
            } else {
                here.push_back(way[0]);
                here.push_back(way[1]);
                all.push_back(way[0]);
                all.push_back(way[1]);
                measured = true;
            }
        }
        if (!measured && why.empty()) why = "no move of a size the picture could measure";
    }
    if (!why.empty()) return std::nullopt;
    const Fit fit = fitPoint(here);
    if (!fit.point) why = fit.why;
    return fit.point;
}

std::optional<double> Pointer::measureZoomRate(int speed) {
    PhaseCorrelator* c = correlator();
    std::optional<GrayPicture> before = waitForRest(300);
    if (c == nullptr || !before) return std::nullopt;
    camera_.startMove(0, 0, 1, speed);
    camera_.waitMs(kZoomProbeMs);
    camera_.stopMove();
    std::optional<GrayPicture> after = waitForRest();
    camera_.startMove(0, 0, -1, speed);
    camera_.waitMs(kZoomProbeMs);
    camera_.stopMove();
    waitForRest();
    if (!after) return std::nullopt;
    double peak = 0.0;
    const double ratio = c->magnification(*before, *after, 4.0, &peak);
    if (peak < kMinPeak || ratio <= 1.01) return std::nullopt;
    return std::log2(ratio) / (kZoomProbeMs / 1000.0);
}

CalibrationResult Pointer::calibrate(int speed, std::span<const double> zoomPositions) {
    CalibrationResult result;
    const int64_t start = camera_.nowMs();
    const Capabilities caps = capabilities();
    const bool timed = !caps.relative || relativeRefused_;
    Calibration calibration;
    calibration.unit = timed ? MoveUnit::Second : MoveUnit::Translation;
    calibration.speed = timed ? std::clamp(speed, 1, 5) : 0;
    std::optional<Position> home = caps.position ? camera_.position() : std::nullopt;
    const bool zoomsTo = caps.absolute && home.has_value() && caps.zoom && !zoomPositions.empty();
    std::vector<double> zooms;
    if (zoomsTo) {
        zooms.assign(zoomPositions.begin(), zoomPositions.end());
    } else {
        zooms.push_back(home ? home->zoom : 0.0);
    }
    for (double zoom : zooms) {
        if (camera_.cancelled()) break;
        if (zoomsTo) {
            Position to = *home;
            to.zoom = zoom;
            camera_.absoluteMove(to);
            waitForRest();
        }
        std::string why;
        if (auto point = measureHere(timed, calibration.speed, zoom, result.measurements, why)) {
            calibration.add(*point);
        } else if (result.why.empty()) {
            result.why = why;
        }
    }
    if (zoomsTo) {
        camera_.absoluteMove(*home);
        waitForRest();
    }
    if (timed && caps.zoom && !calibration.empty() && !camera_.cancelled()) {
        if (const auto rate = measureZoomRate(calibration.speed)) calibration.zoomDoublingsPerSecond = *rate;
    }
    result.elapsedMs = camera_.nowMs() - start;
    if (!calibration.empty() && !camera_.cancelled()) {
        result.calibration = calibration;
        result.why.clear();
    } else if (result.why.empty()) {
        result.why = camera_.cancelled() ? "cancelled" : "nothing was measured";
    }
    return result;
}

} // namespace aim
