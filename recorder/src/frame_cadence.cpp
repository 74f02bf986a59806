#include "recorder/frame_cadence.h"

#include <algorithm>
#include <cmath>

namespace recorder {

namespace {

constexpr double kShortestIntervalMs = 5.0; // 200 pictures/s
constexpr double kLongestIntervalMs = 1000.0;
constexpr int kHighestReportedRate = 120;

} // namespace

double FrameCadence::intervalMs(int frameRate) const {
    if (stepCount_ < kEnough) {
        if (frameRate >= 1 && frameRate <= kHighestReportedRate) return 1000.0 / frameRate;
        return kDefaultIntervalMs;
    }
    // The mean of the middle half of the recent steps: bursts and gaps at
    // either end do not move it, and 33, 33, 34 ms still make 33.3.
    std::array<int64_t, kWindow> sorted = steps_;
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(stepCount_));
    const std::size_t from = stepCount_ / 4;
    const std::size_t to = stepCount_ - stepCount_ / 4;
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(sorted[i]);
    return std::clamp(sum / static_cast<double>(to - from), kShortestIntervalMs, kLongestIntervalMs);
}

int64_t FrameCadence::place(int64_t timeMs, int frameRate) {
    if (!started_) {
        started_ = true;
        lastIn_ = timeMs;
        lastOut_ = static_cast<double>(timeMs);
        return timeMs;
    }
    if (const int64_t step = timeMs - lastIn_; step > 0) {
        steps_[nextStep_] = step;
        nextStep_ = (nextStep_ + 1) % kWindow;
        stepCount_ = std::min(stepCount_ + 1, kWindow);
    }
    lastIn_ = timeMs;
    const double interval = intervalMs(frameRate);
    const double frames = std::max(1.0, std::round((static_cast<double>(timeMs) - lastOut_) / interval));
    lastOut_ += frames * interval;
    return std::llround(lastOut_);
}

} // namespace recorder
