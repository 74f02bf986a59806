#include "camsim/camera_head.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace camsim {

namespace {

// At full speed and widest zoom the window's centre crosses half the scene a
// second; at tele the same command moves the picture as much, not faster.
constexpr double kScenePerSecondAtFullSpeed = 0.5;
constexpr double kZoomDoublingsPerSecond = 1.0;
constexpr double kLensStepsPerSecond = 0.5; // focus and iris
// On its way to a position the head turns at full speed and zooms this fast.
constexpr double kGoToZoomDoublingsPerSecond = 2.0;

// `value` moved towards `goal` by at most `step`.
double approach(double value, double goal, double step) {
    if (std::abs(goal - value) <= step) return goal;
    return value + (goal > value ? step : -step);
}
constexpr int kTalkHoldMs = 600;
// The motion object: 4 s moving right, 1 s still, 4 s moving left, 1 s still.
constexpr int64_t kMotionCycleMs = 10000;
constexpr int kMainItems = 5;
constexpr int kPresetItems = kPresetCount;

std::vector<MotionRegion> defaultRegions() {
    return {{0.0, 0.0, 1.0 / 3, 1.0}, {1.0 / 3, 0.0, 2.0 / 3, 1.0}, {2.0 / 3, 0.0, 1.0, 1.0}};
}

std::string signedValue(int v) {
    char text[8];
    std::snprintf(text, sizeof text, "%+d", v);
    return v == 0 ? "0" : text;
}

} // namespace

std::vector<std::string> osdLines(const OsdState& osd,
                                  const std::array<std::optional<ViewWindow>, kPresetCount>& presets) {
    std::vector<std::string> lines;
    std::vector<std::string> items;
    if (osd.page == 0) {
        lines.push_back("MAIN MENU");
        items = {"BRIGHTNESS " + signedValue(osd.brightness), "SHARPNESS  " + signedValue(osd.sharpness),
                 std::string("CLOCK      ") + (osd.clock ? "ON" : "OFF"), "PRESETS", "EXIT"};
    } else {
        lines.push_back("PRESETS");
        for (int i = 0; i < kPresetCount; ++i) {
            items.push_back("PRESET " + std::to_string(i + 1) +
                            (presets[static_cast<std::size_t>(i)] ? "  SET" : "  ---"));
        }
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        lines.push_back((static_cast<int>(i) == osd.cursor ? "> " : "  ") + items[i]);
    }
    return lines;
}

std::vector<MotionRegion> motionRegionsFromWindows(const std::vector<std::array<int32_t, 4>>& windows, int width,
                                                   int height) {
    std::vector<MotionRegion> out;
    if (width <= 0 || height <= 0) return out;
    for (const auto& w : windows) {
        const double left = std::clamp(w[0], 0, width), top = std::clamp(w[1], 0, height);
        const double right = std::clamp(w[2], 0, width), bottom = std::clamp(w[3], 0, height);
        if (right <= left || bottom <= top) continue;
        out.push_back({left / width, top / height, right / width, bottom / height});
    }
    return out;
}

CameraHead::CameraHead(int ptzAddress, const platform::Clock* clock)
    : address_(ptzAddress), clock_(clock != nullptr ? clock : &platform::SystemClock::instance()),
      lastMs_(clock_->nowMs()), regions_(defaultRegions()) {}

void CameraHead::advanceLocked(int64_t now) const {
    if (now <= lastMs_) return;
    const double dt = static_cast<double>(now - lastMs_) / 1000.0;
    lastMs_ = now;
    ViewWindow& w = s_.window;
    if (goal_) {
        const double turn = kScenePerSecondAtFullSpeed / w.zoom * dt;
        w.x = approach(w.x, goal_->x, turn);
        w.y = approach(w.y, goal_->y, turn);
        const double goalLog = std::log2(goal_->zoom);
        const double zoomLog = approach(std::log2(w.zoom), goalLog, kGoToZoomDoublingsPerSecond * dt);
        w.zoom = zoomLog == goalLog ? goal_->zoom : std::exp2(zoomLog);
        clampLocked();
        if (w == *goal_) {
            goal_.reset();
            s_.goingTo = false;
        }
        return;
    }
    w.x += s_.pan * kScenePerSecondAtFullSpeed * (s_.panSpeed / 63.0) / w.zoom * dt;
    w.y += s_.tilt * kScenePerSecondAtFullSpeed * (s_.tiltSpeed / 63.0) / w.zoom * dt;
    if (s_.zoom != 0) w.zoom *= std::exp2(s_.zoom * kZoomDoublingsPerSecond * dt);
    s_.focusError = std::clamp(s_.focusError + s_.focus * kLensStepsPerSecond * dt, -1.0, 1.0);
    s_.irisLevel = std::clamp(s_.irisLevel + s_.iris * kLensStepsPerSecond * dt, -1.0, 1.0);
    clampLocked();
}

void CameraHead::clampLocked() const {
    ViewWindow& w = s_.window;
    w.zoom = std::clamp(w.zoom, kMinZoom, kMaxZoom);
    // The head stops at its end positions: the window stays inside the scene.
    w.x = std::clamp(w.x, w.width() / 2, 1.0 - w.width() / 2);
    w.y = std::clamp(w.y, w.height() / 2, 1.0 - w.height() / 2);
}

void CameraHead::receiveSerial(const std::vector<uint8_t>& bytes) {
    const PtzStreamResult r = decodePtzBytes(bytes.data(), bytes.size(), address_);
    {
        std::lock_guard lock(mutex_);
        s_.framesRefused += r.badChecksum + r.otherAddress;
    }
    for (const PtzCommand& c : r.commands) apply(c);
}

void CameraHead::apply(const PtzCommand& c) {
    std::lock_guard lock(mutex_);
    advanceLocked(clock_->nowMs());
    ++s_.commandsApplied;
    if (c.kind == PtzCommand::Kind::Move || c.kind == PtzCommand::Kind::PresetGo) {
        s_.lastCommandMs = clock_->nowMs();
        goal_.reset();
        s_.goingTo = false;
    }
    const std::size_t slot = static_cast<std::size_t>(c.preset - 1);
    switch (c.kind) {
    case PtzCommand::Kind::Move:
        if (s_.osd.open) {
            menuLocked(c);
        } else {
            moveLocked(c);
        }
        break;
    case PtzCommand::Kind::PresetSet:
        if (c.preset >= 1 && c.preset <= kPresetCount) s_.presets[slot] = s_.window;
        break;
    case PtzCommand::Kind::PresetClear:
        if (c.preset >= 1 && c.preset <= kPresetCount) s_.presets[slot].reset();
        break;
    case PtzCommand::Kind::PresetGo:
        if (c.preset == kOsdPreset) {
            s_.osd.open = true;
            s_.osd.page = 0;
            s_.osd.cursor = 0;
        } else if (c.preset >= 1 && c.preset <= kPresetCount && s_.presets[slot]) {
            s_.window = *s_.presets[slot];
            s_.pan = s_.tilt = s_.zoom = 0;
        }
        break;
    case PtzCommand::Kind::Other: break;
    }
}

void CameraHead::moveLocked(const PtzCommand& c) {
    s_.pan = faults_.invertPan ? -c.pan : c.pan;
    s_.tilt = faults_.invertTilt ? -c.tilt : c.tilt;
    s_.panSpeed = c.panSpeed;
    s_.tiltSpeed = c.tiltSpeed;
    s_.zoom = c.zoom;
    s_.focus = c.focus;
    s_.iris = c.iris;
}

// In the menu the tilt moves the cursor, the pan changes a value, iris open
// selects and iris close goes back (and leaves from the main menu). Every
// frame is one key press.
void CameraHead::menuLocked(const PtzCommand& c) {
    OsdState& o = s_.osd;
    const int items = o.page == 0 ? kMainItems : kPresetItems;
    if (c.tilt != 0) o.cursor = (o.cursor + c.tilt + items) % items;
    if (c.pan != 0 && o.page == 0) {
        if (o.cursor == 0) o.brightness = std::clamp(o.brightness + c.pan, -4, 4);
        if (o.cursor == 1) o.sharpness = std::clamp(o.sharpness + c.pan, -4, 4);
        if (o.cursor == 2) o.clock = !o.clock;
    }
    if (c.iris > 0) {
        if (o.page == 0 && o.cursor == 3) {
            o.page = 1;
            o.cursor = 0;
        } else if (o.page == 0 && o.cursor == 4) {
            o.open = false;
        } else if (o.page == 1 && s_.presets[static_cast<std::size_t>(o.cursor)]) {
            s_.window = *s_.presets[static_cast<std::size_t>(o.cursor)];
        }
    } else if (c.iris < 0) {
        if (o.page == 1) {
            o.page = 0;
            o.cursor = 3;
        } else {
            o.open = false;
        }
    }
    // Nothing keeps moving while the menu has the keys.
    s_.pan = s_.tilt = s_.zoom = s_.focus = s_.iris = 0;
}

double CameraHead::magnificationAtLocked(double position) const {
    const double p = std::clamp(position, 0.0, 1.0);
    return faults_.curvedZoom ? std::pow(kMaxZoom, p) : kMinZoom + p * (kMaxZoom - kMinZoom);
}

double CameraHead::positionOfLocked(double magnification) const {
    const double m = std::clamp(magnification, kMinZoom, kMaxZoom);
    return faults_.curvedZoom ? std::log(m) / std::log(kMaxZoom) : (m - kMinZoom) / (kMaxZoom - kMinZoom);
}

void CameraHead::goToLocked(ViewWindow to) {
    to.zoom = std::clamp(to.zoom, kMinZoom, kMaxZoom);
    to.x = std::clamp(to.x, to.width() / 2, 1.0 - to.width() / 2);
    to.y = std::clamp(to.y, to.height() / 2, 1.0 - to.height() / 2);
    s_.pan = s_.tilt = s_.zoom = 0;
    s_.panSpeed = s_.tiltSpeed = 0;
    s_.lastCommandMs = clock_->nowMs();
    ++s_.commandsApplied;
    goal_ = to;
    s_.goingTo = true;
}

void CameraHead::moveToPosition(const HeadPosition& to) {
    std::lock_guard lock(mutex_);
    advanceLocked(clock_->nowMs());
    ViewWindow w;
    w.x = 0.5 + (faults_.invertPan ? -to.pan : to.pan) / 2.0;
    w.y = 0.5 - (faults_.invertTilt ? -to.tilt : to.tilt) / 2.0;
    w.zoom = magnificationAtLocked(to.zoom);
    goToLocked(w);
}

void CameraHead::moveByGeneric(double pan, double tilt, double zoom) {
    std::lock_guard lock(mutex_);
    advanceLocked(clock_->nowMs());
    // From where it is now, or from where it was going.
    ViewWindow w = goal_.value_or(s_.window);
    w.x += (faults_.invertPan ? -pan : pan) / 2.0;
    w.y -= (faults_.invertTilt ? -tilt : tilt) / 2.0;
    w.zoom = magnificationAtLocked(positionOfLocked(w.zoom) + zoom);
    goToLocked(w);
}

void CameraHead::moveByFieldOfView(double x, double y, double viewRatio) {
    std::lock_guard lock(mutex_);
    advanceLocked(clock_->nowMs());
    ViewWindow w = goal_.value_or(s_.window);
    w.x += x * w.width() / 2.0;
    w.y -= y * w.height() / 2.0;
    if (viewRatio > 0.0) w.zoom /= viewRatio;
    goToLocked(w);
}

HeadPosition CameraHead::position() const {
    std::lock_guard lock(mutex_);
    advanceLocked(clock_->nowMs());
    const ViewWindow& w = s_.window;
    const double pan = (w.x - 0.5) * 2.0;
    const double tilt = (0.5 - w.y) * 2.0;
    return {faults_.invertPan ? -pan : pan, faults_.invertTilt ? -tilt : tilt, positionOfLocked(w.zoom)};
}

void CameraHead::centreScenePoint(double& x, double& y) const {
    const ViewWindow w = window();
    x = w.x;
    y = w.y;
}

void CameraHead::setFaults(const HeadFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

HeadFaults CameraHead::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void CameraHead::setOutput(bool on) {
    std::lock_guard lock(mutex_);
    s_.lamp = on;
}

void CameraHead::setQuadMode(int mode) {
    std::lock_guard lock(mutex_);
    s_.quadMode = mode;
}

void CameraHead::receiveTalk(const uint8_t* pcm, std::size_t bytes) {
    double sum = 0;
    const std::size_t samples = bytes / 2;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto v = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        sum += static_cast<double>(v) * v;
    }
    const double rms = samples > 0 ? std::sqrt(sum / static_cast<double>(samples)) : 0.0;
    std::lock_guard lock(mutex_);
    // Full bar at a quarter of full scale, about a loud voice.
    s_.talkLevel = std::clamp(rms / 8192.0, 0.0, 1.0);
    talkUntilMs_ = clock_->nowMs() + kTalkHoldMs;
}

void CameraHead::pulseInputs(int mask, int ms) {
    std::lock_guard lock(mutex_);
    inputsMask_ = mask & 3;
    inputsUntilMs_ = clock_->nowMs() + ms;
}

void CameraHead::scheduleInputs(int periodMs, int activeMs) {
    std::lock_guard lock(mutex_);
    schedulePeriodMs_ = std::max(0, periodMs);
    scheduleActiveMs_ = std::clamp(activeMs, 0, schedulePeriodMs_);
    scheduleStartMs_ = clock_->nowMs();
}

int CameraHead::activeInputs() const {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_->nowMs();
    int mask = now < inputsUntilMs_ ? inputsMask_ : 0;
    if (schedulePeriodMs_ > 0) {
        const int64_t t = now - scheduleStartMs_;
        const int64_t k = t / schedulePeriodMs_;
        // The first event comes one period after the schedule starts.
        if (k >= 1 && t - k * schedulePeriodMs_ < scheduleActiveMs_) mask |= (k % 2 == 1) ? 1 : 2;
    }
    return mask;
}

void CameraHead::setMotionDetection(bool enabled, const std::vector<MotionRegion>& regions) {
    std::lock_guard lock(mutex_);
    motionEnabled_ = enabled;
    regions_ = regions.empty() ? defaultRegions() : regions;
}

void CameraHead::motionObject(double& x, double& y, double& size) const {
    const int64_t t = ((clock_->nowMs() % kMotionCycleMs) + kMotionCycleMs) % kMotionCycleMs;
    const double lo = 0.08, hi = 0.92;
    if (t < 4000) {
        x = lo + (hi - lo) * static_cast<double>(t) / 4000.0;
    } else if (t < 5000) {
        x = hi;
    } else if (t < 9000) {
        x = hi - (hi - lo) * static_cast<double>(t - 5000) / 4000.0;
    } else {
        x = lo;
    }
    y = 0.72;
    size = 0.08;
}

bool CameraHead::motionDetection() const {
    std::lock_guard lock(mutex_);
    return motionEnabled_;
}

int CameraHead::motionBits() const {
    {
        std::lock_guard lock(mutex_);
        if (!motionEnabled_) return 0;
    }
    const int64_t t = ((clock_->nowMs() % kMotionCycleMs) + kMotionCycleMs) % kMotionCycleMs;
    if ((t >= 4000 && t < 5000) || t >= 9000) return 0; // a still object is no motion
    double x = 0, y = 0, size = 0;
    motionObject(x, y, size);
    std::lock_guard lock(mutex_);
    int bits = 0;
    for (std::size_t r = 0; r < regions_.size() && r < 3; ++r) {
        const MotionRegion& g = regions_[r];
        if (x + size / 2 > g.left && x - size / 2 < g.right && y + size / 2 > g.top && y - size / 2 < g.bottom) {
            bits |= 1 << (r + 1);
        }
    }
    return bits;
}

HeadState CameraHead::state() const {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_->nowMs();
    advanceLocked(now);
    if (now >= talkUntilMs_) s_.talkLevel = 0;
    return s_;
}

} // namespace camsim
