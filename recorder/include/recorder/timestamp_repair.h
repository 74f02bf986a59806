// Time stamps a recording can trust. Cameras send 32-bit millisecond stamps
// that wrap, jump by hours (an RTP clock restarted), step back (the camera's
// clock set by SNTP) or stay put for a whole group of pictures (protocol 1
// stamps only its intra pictures). A recording needs times that start at its
// own zero and only ever grow, so each stream's stamps are followed as long
// as they move the way the arrival clock says time moves, and the arrival
// clock bridges every step they make that it cannot explain.
#pragma once

#include <cstdint>

#include "recorder/frame.h"
#include "recorder/frame_cadence.h"

namespace recorder {

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
    int64_t start(uint32_t cameraMs, int64_t arrivalMs, int64_t timeMs);
    // Every later one; the result is at least 1 ms after the previous one.
    int64_t next(uint32_t cameraMs, int64_t arrivalMs);

    // Where a stamp of the same camera clock would be placed now, if that
    // clock can be trusted: for aligning a second stream (audio) with this one.
    int64_t placeOnThisClock(uint32_t cameraMs) const;
    // Where the arrival clock puts a sample arriving at arrivalMs.
    int64_t placeByArrival(int64_t arrivalMs) const;

private:
    RepairLimits limits_;
    bool started_ = false;
    uint32_t lastCameraMs_ = 0;
    int64_t lastArrivalMs_ = 0;
    int64_t movedArrivalMs_ = 0; // arrival of the last stamp that moved
    int64_t position_ = 0;       // the camera's clock on our scale
    int64_t lastOut_ = 0;
};

// A camera's video and audio: each stream has its own repair (their clocks
// may differ by more than any tolerance), and the one that starts second is
// placed on the first one's clock when the two agree to within a second,
// else where the arrival clock puts it. Pictures then keep the rhythm of
// the camera's frame rate (FrameCadence).
class CameraTimeline {
public:
    explicit CameraTimeline(RepairLimits limits = {}) : video_(limits), audio_(limits) {}
    // The time of a frame; frameRate is what the camera reports (0: nothing).
    int64_t place(MediaKind kind, uint32_t cameraMs, int64_t arrivalMs, int frameRate = 0);
    // Places a frame: its time, and for a picture the interval it keeps.
    void place(Frame& frame);

private:
    int64_t repair(MediaKind kind, uint32_t cameraMs, int64_t arrivalMs);

    TimestampRepair video_;
    TimestampRepair audio_;
    FrameCadence cadence_;
};

} // namespace recorder
