#include "recorder/frame_cadence.h"

#include <algorithm>
#include <cmath>

namespace recorder {

namespace {

constexpr double kShortestIntervalMs = 5.0; // 200 pictures/s
constexpr double kLongestIntervalMs = 1000.0;
constexpr int kHighestReportedRate = 120;
// A measured interval this far (as a fraction) from the grid's starts a new
// grid; closer ones are the same rate measured with jitter.
constexpr double kNewRate = 0.1;

} // namespace

double FrameCadence::measuredMs(int frameRate) const {
    if (stepCount_ < kEnough) {
        if (frameRate >= 1 && frameRate <= kHighestReportedRate) return 1000.0 / frameRate;
        return kDefaultIntervalMs;
    }
    // The mean of the steps near the median: bursts and gaps do not move it,
    // and 33, 33, 34 ms still make 33.3.
    std::array<int64_t, kWindow> sorted = steps_;
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(stepCount_));
    const double median = static_cast<double>(sorted[stepCount_ / 2]);
    double sum = 0;
    int count = 0;
    for (std::size_t i = 0; i < stepCount_; ++i) {
        const auto step = static_cast<double>(sorted[i]);
        if (step < median / 2 || step > median * 1.5) continue;
        sum += step;
        ++count;
    }
    return std::clamp(sum / count, kShortestIntervalMs, kLongestIntervalMs);
}

int64_t FrameCadence::place(int64_t timeMs, int frameRate) {
    if (!started_) {
        started_ = true;
        lastIn_ = timeMs;
        gridMs_ = measuredMs(frameRate);
        originMs_ = static_cast<double>(timeMs);
        points_ = 0;
        return timeMs;
    }
    if (const int64_t step = timeMs - lastIn_; step > 0) {
        steps_[nextStep_] = step;
        nextStep_ = (nextStep_ + 1) % kWindow;
        stepCount_ = std::min(stepCount_ + 1, kWindow);
    }
    lastIn_ = timeMs;
    double lastOut = originMs_ + static_cast<double>(points_) * gridMs_;
    if (const double measured = measuredMs(frameRate); std::abs(measured - gridMs_) > gridMs_ * kNewRate) {
        originMs_ = lastOut;
        points_ = 0;
        gridMs_ = measured;
    }
    lastOut = originMs_ + static_cast<double>(points_) * gridMs_;
    points_ += std::max<int64_t>(1, std::llround((static_cast<double>(timeMs) - lastOut) / gridMs_));
    return std::llround(originMs_ + static_cast<double>(points_) * gridMs_);
}

} // namespace recorder
