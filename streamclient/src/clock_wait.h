// Waits on an event for a time measured by a replaceable clock, so that long
// time-outs can be tested by moving a manual clock.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/clock.h"
#include "platform/event.h"

namespace ostrel {

// True when the event was set before timeoutMs passed on the clock.
inline bool waitOnClock(const platform::ManualResetEvent& event, const platform::Clock& clock, int timeoutMs) {
    constexpr int64_t kSliceMs = 20;
    const int64_t start = clock.nowMs();
    for (;;) {
        const int64_t left = timeoutMs - (clock.nowMs() - start);
        if (left <= 0) return event.isSet();
        if (event.wait(static_cast<int>(std::min(left, kSliceMs)))) return true;
    }
}

} // namespace ostrel
