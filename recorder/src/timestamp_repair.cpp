#include "recorder/timestamp_repair.h"

#include <algorithm>
#include <cstdlib>

namespace recorder {

namespace {

// Streams that start within this of each other's clock are taken to share it.
constexpr int64_t kAlignToleranceMs = 1000;

// The step from one 32-bit stamp to the next, across a wrap.
int64_t stepBetween(uint32_t from, uint32_t to) { return static_cast<int32_t>(to - from); }

} // namespace

int64_t TimestampRepair::start(uint32_t cameraMs, int64_t arrivalMs, int64_t timeMs) {
    started_ = true;
    lastCameraMs_ = cameraMs;
    lastArrivalMs_ = arrivalMs;
    movedArrivalMs_ = arrivalMs;
    position_ = timeMs;
    lastOut_ = timeMs;
    return timeMs;
}

int64_t TimestampRepair::next(uint32_t cameraMs, int64_t arrivalMs) {
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

int64_t TimestampRepair::placeOnThisClock(uint32_t cameraMs) const {
    return position_ + stepBetween(lastCameraMs_, cameraMs);
}

int64_t TimestampRepair::placeByArrival(int64_t arrivalMs) const {
    return lastOut_ + std::max<int64_t>(0, arrivalMs - lastArrivalMs_);
}

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
    TimestampRepair& own = isVideo(kind) ? video_ : audio_;
    if (own.started()) return own.next(cameraMs, arrivalMs);
    const TimestampRepair& other = isVideo(kind) ? audio_ : video_;
    int64_t first = 0;
    if (other.started()) {
        const int64_t byArrival = other.placeByArrival(arrivalMs);
        const int64_t byCamera = other.placeOnThisClock(cameraMs);
        first = std::llabs(byCamera - byArrival) <= kAlignToleranceMs ? byCamera : byArrival;
    }
    return own.start(cameraMs, arrivalMs, first);
}

} // namespace recorder
