// Record on motion: a camera's motion starts a clip (with its pre-roll), and
// the clip ends `holdMs` after the last motion. Time comes from the caller
// (the recorder's monotonic clock), so the rule runs on a manual clock in
// tests.
#pragma once

#include <cstdint>

namespace recorder {

enum class MotionAction { None, Start, Stop };

class MotionRule {
public:
    // holdMs 0 or less: the rule is off and never acts.
    explicit MotionRule(int64_t holdMs) : holdMs_(holdMs) {}

    bool enabled() const { return holdMs_ > 0; }
    bool active() const { return active_; }

    // The camera reported motion at nowMs.
    MotionAction motion(int64_t nowMs);
    // Time passed without motion.
    MotionAction tick(int64_t nowMs);

private:
    int64_t holdMs_;
    bool active_ = false;
    int64_t lastMotionMs_ = 0;
};

} // namespace recorder
