// The times frame records carry. A camera's stream clock may jump by hours
// (RTP timestamps that leap) or step back (its wall clock set back by SNTP,
// seen through its sender reports); record times follow the stream's clock
// only while it moves forward by a sane step, and otherwise go on from the
// last time by the last step, so that whoever orders or paces records by
// their time never waits hours for the next one or takes it for a late one.
#pragma once

#include <cstdint>
#include <optional>

namespace corvel {

class RecordClock {
public:
    // A forward step longer than this is a jump, not a pause of the camera.
    static constexpr int64_t kMaxStepMs = 10000;
    // The step taken at a jump before any step was seen (25 pictures/s).
    static constexpr int64_t kFirstStepMs = 40;

    // The record time of a packet whose stream time is `streamMs`, or (none)
    // unknown: that takes the last time given, 0 at first, and the stream's
    // clock then goes on from there.
    int64_t timeOf(std::optional<int64_t> streamMs);
    void reset() { *this = RecordClock(); }

private:
    bool given_ = false;   // a time was handed out
    bool started_ = false; // a stream time was seen
    int64_t lastStreamMs_ = 0;
    int64_t lastTimeMs_ = 0;
    int64_t lastStepMs_ = kFirstStepMs;
};

} // namespace corvel
