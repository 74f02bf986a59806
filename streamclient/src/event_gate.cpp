#include "event_gate.h"

namespace ostrel {

bool EventGate::admits(uint8_t motion, uint8_t inputs, int64_t nowMs) const {
    return !any_ || motion != motion_ || inputs != inputs_ || nowMs - atMs_ >= kRepeatMs;
}

void EventGate::handedOver(uint8_t motion, uint8_t inputs, int64_t nowMs) {
    any_ = true;
    motion_ = motion;
    inputs_ = inputs;
    atMs_ = nowMs;
}

} // namespace ostrel
