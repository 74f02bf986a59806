// Which event headers wake the event thread, on the test's own clock.
#include "event_gate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace ostrel {
namespace {

struct Header {
    int64_t atMs;
    uint8_t motion;
    uint8_t inputs;
    bool handedOver;
};

TEST(EventGateTest, NewEventBytesGoAtOnceTheSameOnlyAfterTheRepeatTime) {
    const std::vector<Header> headers = {
        {0, 0x02, 3, true},    // the first
        {40, 0x02, 3, false},  // the same motion again
        {80, 0x06, 3, true},   // another region
        {120, 0x06, 2, true},  // an input goes active
        {160, 0x06, 2, false}, // unchanged
        {369, 0x06, 2, false}, // 249 ms after it went over
        {370, 0x06, 2, true},  // 250 ms: a lasting event is told again
        {400, 0x02, 3, true},  // back to the first bytes: a change all the same
    };
    EventGate gate;
    for (const Header& h : headers) {
        const bool admitted = gate.admits(h.motion, h.inputs, h.atMs);
        EXPECT_EQ(admitted, h.handedOver) << "at " << h.atMs << " ms";
        if (admitted) gate.handedOver(h.motion, h.inputs, h.atMs);
    }
}

} // namespace
} // namespace ostrel
