// The moving parts of a simulated camera: the pan/tilt/zoom head with its
// presets, lens focus and iris, the on-screen menu, the digital output lamp,
// the quad server's display mode, the talk-back level, and what its motion
// detector and digital inputs report. The servers feed it what the client
// sends; the picture is drawn from its state. Time comes from a clock, so
// tests move it by hand. Every member is safe to call from any thread.
#pragma once

#include "camsim/pelco.h"
#include "platform/clock.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace camsim {

// The part of the scene the camera sees: its centre as a fraction of the
// scene's width and height, and the zoom (1 = widest, half the scene each
// way; 8 = tele). The window's size is (0.5 / zoom) of the scene.
struct ViewWindow {
    double x = 0.5;
    double y = 0.5;
    double zoom = 1.0;
    double width() const { return 0.5 / zoom; }
    double height() const { return 0.5 / zoom; }
    bool operator==(const ViewWindow&) const = default;
};

// Ways a head may differ from a well-behaved one, for clients that have to
// measure what its moves do.
struct HeadFaults {
    // Every pan (tilt) command and position runs the other way, as on a
    // camera mounted upside down without its picture turned.
    bool invertPan = false;
    bool invertTilt = false;
    // The zoom position (0 wide to 1 tele) magnifies 8^position times
    // instead of 1 + 7 x position: the field of view does not follow the
    // position in step.
    bool curvedZoom = false;
};

// The head's position in the generic spaces a camera reports: pan and tilt
// -1 to 1 over the scene (tilt up positive), zoom 0 (wide) to 1 (tele).
struct HeadPosition {
    double pan = 0.0;
    double tilt = 0.0;
    double zoom = 0.0;
};

inline constexpr int kPresetCount = 8;
inline constexpr int kOsdPreset = 95; // "go to preset 95" opens the menu
inline constexpr double kMinZoom = 1.0;
inline constexpr double kMaxZoom = 8.0;

struct OsdState {
    bool open = false;
    int page = 0;   // 0 main menu, 1 preset list
    int cursor = 0; // line of the page
    // The menu's own settings; brightness and sharpness act on the picture.
    int brightness = 0; // -4 .. 4
    int sharpness = 0;  // -4 .. 4, negative softens
    bool clock = true;  // the running clock in the picture
};

// Lines of the menu page as drawn, the cursor's line marked with ">".
std::vector<std::string> osdLines(const OsdState& osd,
                                  const std::array<std::optional<ViewWindow>, kPresetCount>& presets);

struct HeadState {
    ViewWindow window;
    int pan = 0, tilt = 0, zoom = 0, focus = 0, iris = 0; // current movements
    int panSpeed = 0, tiltSpeed = 0;
    double focusError = 0; // 0 sharp, up to 1 very soft
    double irisLevel = 0;  // brightness offset, -1 .. 1
    std::array<std::optional<ViewWindow>, kPresetCount> presets;
    OsdState osd;
    bool lamp = false;
    int quadMode = -1;    // -1: never set; 0 the four inputs; 1..4 one input
    double talkLevel = 0; // 0 .. 1, falls back to 0 when talk-back stops
    int64_t commandsApplied = 0;
    int64_t framesRefused = 0;  // bad checksum or another address
    int64_t lastCommandMs = -1; // when the last move, stop or go-to came (head clock)
    bool goingTo = false;       // on its way to a position
};

// Motion detection: a small object crosses the picture from left to right
// and back; each region it overlaps reports motion.
struct MotionRegion {
    double left, top, right, bottom; // fractions of the picture
};

// Motion regions from the window values a client sets: left, top, right and
// bottom in pixels of a width x height picture. Empty windows are skipped,
// the rest cut to the picture.
std::vector<MotionRegion> motionRegionsFromWindows(const std::vector<std::array<int32_t, 4>>& windows, int width,
                                                   int height);

class CameraHead {
public:
    // `clock` must outlive the head; null uses the system clock.
    explicit CameraHead(int ptzAddress = 1, const platform::Clock* clock = nullptr);

    int ptzAddress() const { return address_; }

    // Serial bytes as the client sent them (one message).
    void receiveSerial(const std::vector<uint8_t>& bytes);
    void apply(const PtzCommand& command);

    // Goes to a position at the head's full speed (an AbsoluteMove); any
    // later move or stop ends the way there.
    void moveToPosition(const HeadPosition& to);
    // Moves by a translation in the generic spaces (pan and tilt over the
    // scene as positions count them, zoom in position units), or in the
    // field-of-view space (x and y -1..1 to the picture's edges, up
    // positive) with the view's width times `viewRatio` (below 1 zooms in).
    void moveByGeneric(double pan, double tilt, double zoom);
    void moveByFieldOfView(double x, double y, double viewRatio);
    // The position as the camera reports it (after its faults).
    HeadPosition position() const;
    // The scene point at the picture's centre (fractions of the scene).
    void centreScenePoint(double& x, double& y) const;

    void setFaults(const HeadFaults& faults);
    HeadFaults faults() const;

    void setOutput(bool on);
    void setQuadMode(int mode);
    // A talk-back packet of 16-bit little-endian samples arrived.
    void receiveTalk(const uint8_t* pcm, std::size_t bytes);

    // Digital inputs (bit 0 input 1, bit 1 input 2), active for `ms`.
    void pulseInputs(int mask, int ms);
    // Every `periodMs` input 1 and then input 2 (alternately) go active for
    // `activeMs`; 0 switches the schedule off.
    void scheduleInputs(int periodMs, int activeMs);
    int activeInputs() const;

    // Motion: which regions (bit r for region r = 1..3) see the object now.
    // No regions: the picture's left, middle and right thirds.
    void setMotionDetection(bool enabled, const std::vector<MotionRegion>& regions);
    int motionBits() const;
    bool motionDetection() const;
    // Where the object is now (its centre, fractions of the picture).
    void motionObject(double& x, double& y, double& size) const;

    HeadState state() const;
    ViewWindow window() const { return state().window; }
    int64_t nowMs() const { return clock_->nowMs(); }

private:
    void advanceLocked(int64_t now) const;
    void goToLocked(ViewWindow to);
    double magnificationAtLocked(double position) const;
    double positionOfLocked(double magnification) const;
    void moveLocked(const PtzCommand& c);
    void menuLocked(const PtzCommand& c);
    void clampLocked() const;

    const int address_;
    const platform::Clock* clock_;
    mutable std::mutex mutex_;
    mutable HeadState s_;
    mutable int64_t lastMs_;
    mutable std::optional<ViewWindow> goal_;
    HeadFaults faults_;
    int64_t talkUntilMs_ = 0;
    int64_t inputsUntilMs_ = 0;
    int inputsMask_ = 0;
    int schedulePeriodMs_ = 0;
    int scheduleActiveMs_ = 0;
    int64_t scheduleStartMs_ = 0;
    bool motionEnabled_ = true;
    std::vector<MotionRegion> regions_;
};

} // namespace camsim
