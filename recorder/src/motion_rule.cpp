#include "recorder/motion_rule.h"

namespace recorder {

MotionAction MotionRule::motion(int64_t nowMs) {
    if (!enabled()) return MotionAction::None;
    lastMotionMs_ = nowMs;
    if (active_) return MotionAction::None;
    active_ = true;
    return MotionAction::Start;
}

MotionAction MotionRule::tick(int64_t nowMs) {
    if (!active_ || nowMs - lastMotionMs_ < holdMs_) return MotionAction::None;
    active_ = false;
    return MotionAction::Stop;
}

} // namespace recorder
