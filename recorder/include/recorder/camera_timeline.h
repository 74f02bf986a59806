// A recording's times: they start at the recording's own zero and only ever
// grow. Each stream's stamps go through the one repair every stream's stamps
// follow (transport::TimestampRepair): protocol 1 and 2 records carry the
// camera's stamps as it sent them; records of RTSP cameras come repaired
// already, and the rule keeps steady stamps as they are.
#pragma once

#include <cstdint>

#include "recorder/frame.h"
#include "recorder/frame_cadence.h"
#include "transport/timestamp_repair.h"

namespace recorder {

// A camera's video and audio: each stream has its own repair (their clocks
// may differ by more than any tolerance), and the one that starts second is
// placed on the first one's clock when the two agree to within a second,
// else where the arrival clock puts it. Pictures then keep the rhythm of
// the camera's frame rate (FrameCadence).
class CameraTimeline {
public:
    explicit CameraTimeline(transport::RepairLimits limits = {}) : video_(limits), audio_(limits) {}
    // The time of a frame; frameRate is what the camera reports (0: nothing).
    int64_t place(MediaKind kind, uint32_t cameraMs, int64_t arrivalMs, int frameRate = 0);
    // Places a frame: its time, and for a picture the interval it keeps.
    void place(Frame& frame);

private:
    int64_t repair(MediaKind kind, uint32_t cameraMs, int64_t arrivalMs);

    transport::TimestampRepair video_;
    transport::TimestampRepair audio_;
    FrameCadence cadence_;
};

} // namespace recorder
