// Which frame headers' events wake the event thread. A camera repeats its
// motion and input bytes on every picture while they last; waking a thread
// for each (and the viewer's thread after it) cost a wall of moving cameras
// hundreds of wake-ups a second for nothing new. So a header goes over when
// its event bytes differ from the last ones handed over, or when the same
// ones were last handed over kRepeatMs ago or more: callers that count events
// per period (the viewer's indicators, a second long) still see a lasting one.
#pragma once

#include <cstdint>

namespace ostrel {

class EventGate {
public:
    static constexpr int64_t kRepeatMs = 250;

    // Whether the event bytes of a header that carries an event go over at
    // nowMs (a monotonic scale).
    bool admits(uint8_t motion, uint8_t inputs, int64_t nowMs) const;
    // They went over at nowMs.
    void handedOver(uint8_t motion, uint8_t inputs, int64_t nowMs);

private:
    bool any_ = false;
    uint8_t motion_ = 0;
    uint8_t inputs_ = 0;
    int64_t atMs_ = 0;
};

} // namespace ostrel
