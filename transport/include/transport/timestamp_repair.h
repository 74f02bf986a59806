// Time stamps the rest of the program can trust, one rule for every stream.
// Cameras send 32-bit millisecond stamps that wrap, jump by hours (an RTP
// clock restarted), step back (the camera's clock set by SNTP) or stay put
// for a whole group of pictures (protocol 1 stamps only its intra pictures).
// Whoever orders, paces or records pictures by their time needs times that
// only ever grow, so a stream's stamps are followed as long as they move the
// way the arrival clock says time moves, and the arrival clock bridges every
// step they make that it cannot explain.
#pragma once

#include <algorithm>
#include <cstdint>

namespace transport {

struct RepairLimits {
    // A step back at most this large is jitter or reordering and is kept
    // (the output still grows); a larger one is a clock set back.
    int64_t backwardToleranceMs = 250;
    // A step forward larger than the arrival time since the stamp last moved,
    // plus this, is a jump.
    int64_t forwardToleranceMs = 2000;
};

// One stream's stamps.
class TimestampRepair {
public:
    explicit TimestampRepair(RepairLimits limits = {}) : limits_(limits) {}

    bool started() const { return started_; }

    // The first stamp: it is placed at `timeMs`.
    int64_t start(uint32_t cameraMs, int64_t arrivalMs, int64_t timeMs) {
        started_ = true;
        lastCameraMs_ = cameraMs;
        lastArrivalMs_ = arrivalMs;
        movedArrivalMs_ = arrivalMs;
        position_ = timeMs;
        lastOut_ = timeMs;
        return timeMs;
    }

    // Every later one; the result is at least 1 ms after the previous one.
    int64_t next(uint32_t cameraMs, int64_t arrivalMs) {
        const int64_t step = stepBetween(lastCameraMs_, cameraMs);
        const int64_t sinceLast = std::max<int64_t>(0, arrivalMs - lastArrivalMs_);
        const int64_t sinceMoved = std::max<int64_t>(0, arrivalMs - movedArrivalMs_);
        int64_t out = 0;
        if (step < -limits_.backwardToleranceMs || step > sinceMoved + limits_.forwardToleranceMs) {
            // A jump: continue from where we are by the time that passed.
            position_ = lastOut_ + sinceLast;
            out = position_;
        } else if (step == 0) {
            // A held stamp: spread its pictures by their arrival.
            out = lastOut_ + sinceLast;
        } else {
            position_ += step;
            out = position_;
        }
        if (step != 0) movedArrivalMs_ = arrivalMs;
        out = std::max(out, lastOut_ + 1);
        lastCameraMs_ = cameraMs;
        lastArrivalMs_ = arrivalMs;
        lastOut_ = out;
        return out;
    }

    // Where a stamp of the same camera clock would be placed now, if that
    // clock can be trusted: for aligning a second stream (audio) with this one.
    int64_t placeOnThisClock(uint32_t cameraMs) const { return position_ + stepBetween(lastCameraMs_, cameraMs); }
    // Where the arrival clock puts a sample arriving at arrivalMs.
    int64_t placeByArrival(int64_t arrivalMs) const {
        return lastOut_ + std::max<int64_t>(0, arrivalMs - lastArrivalMs_);
    }

private:
    // The step from one 32-bit stamp to the next, across a wrap.
    static int64_t stepBetween(uint32_t from, uint32_t to) { return static_cast<int32_t>(to - from); }

    RepairLimits limits_;
    bool started_ = false;
    uint32_t lastCameraMs_ = 0;
    int64_t lastArrivalMs_ = 0;
    int64_t movedArrivalMs_ = 0; // arrival of the last stamp that moved
    int64_t position_ = 0;       // the camera's clock on our scale
    int64_t lastOut_ = 0;
};

} // namespace transport
