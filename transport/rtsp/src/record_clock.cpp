#include "corvel/record_clock.h"

namespace corvel {

int64_t RecordClock::timeOf(std::optional<int64_t> streamMs) {
    const bool first = !given_;
    given_ = true;
    if (!streamMs) return lastTimeMs_;
    if (!started_) {
        started_ = true;
        lastStreamMs_ = *streamMs;
        if (first) lastTimeMs_ = *streamMs;
        return lastTimeMs_;
    }
    const int64_t step = *streamMs - lastStreamMs_;
    if (step >= 0 && step <= kMaxStepMs) {
        lastTimeMs_ += step;
        if (step > 0) lastStepMs_ = step;
    } else {
        lastTimeMs_ += lastStepMs_;
    }
    lastStreamMs_ = *streamMs;
    return lastTimeMs_;
}

} // namespace corvel
