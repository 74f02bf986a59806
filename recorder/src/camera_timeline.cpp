#include "recorder/camera_timeline.h"

#include <algorithm>
#include <cstdlib>

namespace recorder {

namespace {

// Streams that start within this of each other's clock are taken to share it.
constexpr int64_t kAlignToleranceMs = 1000;

} // namespace

int64_t CameraTimeline::place(MediaKind kind, uint32_t cameraMs, int64_t arrivalMs, int frameRate) {
    const int64_t timeMs = repair(kind, cameraMs, arrivalMs);
    return isVideo(kind) ? cadence_.place(timeMs, frameRate) : timeMs;
}

void CameraTimeline::place(Frame& frame) {
    frame.timeMs = place(frame.kind, frame.cameraMs, frame.arrivalMs, frame.frameRate);
    if (!isVideo(frame.kind)) return;
    frame.frameIntervalMs = cadence_.intervalMs();
    frame.intervalMeasured = cadence_.measured();
}

int64_t CameraTimeline::repair(MediaKind kind, uint32_t cameraMs, int64_t arrivalMs) {
    transport::TimestampRepair& own = isVideo(kind) ? video_ : audio_;
    if (own.started()) return own.next(cameraMs, arrivalMs);
    const transport::TimestampRepair& other = isVideo(kind) ? audio_ : video_;
    int64_t first = 0;
    if (other.started()) {
        const int64_t byArrival = other.placeByArrival(arrivalMs);
        const int64_t byCamera = other.placeOnThisClock(cameraMs);
        first = std::llabs(byCamera - byArrival) <= kAlignToleranceMs ? byCamera : byArrival;
    }
    return own.start(cameraMs, arrivalMs, first);
}

} // namespace recorder
