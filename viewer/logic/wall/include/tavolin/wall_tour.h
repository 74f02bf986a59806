// A tour: the wall's layouts shown in turn, each for a period. Motion on a
// shown camera may hold the tour on the layout showing it; the period starts
// again once the motion is over. Time comes from the clock, so the tour is
// tested without waiting.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/clock.h"

namespace tavolin {

class WallTour {
public:
    explicit WallTour(const platform::Clock& clock) : clock_(&clock) {}

    // Starts with `layouts[0]`, which it returns; none (and no tour) for an
    // empty list or a period under a second.
    std::optional<int> start(std::vector<int> layouts, int periodMs, bool holdOnMotion);
    void stop() { layouts_.clear(); }
    bool isRunning() const { return !layouts_.empty(); }

    // The next layout when the shown one's period is over; none while it
    // lasts or while `motionShown` holds it.
    std::optional<int> due(bool motionShown);

private:
    const platform::Clock* clock_;
    std::vector<int> layouts_;
    std::size_t next_ = 0;
    int64_t periodMs_ = 0;
    bool holdOnMotion_ = true;
    int64_t shownSinceMs_ = 0;
};

} // namespace tavolin
