#include "tavolin/wall_tour.h"

#include <utility>

namespace tavolin {

std::optional<int> WallTour::start(std::vector<int> layouts, int periodMs, bool holdOnMotion) {
    constexpr int kShortestPeriodMs = 1000;
    layouts_.clear();
    if (layouts.empty() || periodMs < kShortestPeriodMs) return std::nullopt;
    layouts_ = std::move(layouts);
    periodMs_ = periodMs;
    holdOnMotion_ = holdOnMotion;
    next_ = 1 % layouts_.size();
    shownSinceMs_ = clock_->nowMs();
    return layouts_.front();
}

std::optional<int> WallTour::due(bool motionShown) {
    if (!isRunning()) return std::nullopt;
    const int64_t now = clock_->nowMs();
    if (holdOnMotion_ && motionShown) {
        shownSinceMs_ = now;
        return std::nullopt;
    }
    if (now - shownSinceMs_ < periodMs_) return std::nullopt;
    shownSinceMs_ = now;
    const int layout = layouts_[next_];
    next_ = (next_ + 1) % layouts_.size();
    return layout;
}

} // namespace tavolin
