#include "camsim/encoding_delays.h"

namespace camsim {

void EncodingDelays::add(std::chrono::microseconds delay) {
    std::lock_guard lock(mutex_);
    delaysUs_.push_back(delay.count());
}

DelayFigures EncodingDelays::figures() const {
    std::lock_guard lock(mutex_);
    return delayFigures(delaysUs_);
}

} // namespace camsim
