// What a run of delays (or ages) comes to: the median and the 95th
// percentile (nearest rank), in the unit the delays were measured in.
//
//   DelayFigures f = delayFigures({40, 42, 45, 61});   // median 43, 95th 61
#pragma once

#include <cstdint>
#include <vector>

namespace camsim {

struct DelayFigures {
    long count = 0;
    int64_t median = 0; // of an even count, the mean of the middle two
    int64_t percentile95 = 0;
};

DelayFigures delayFigures(std::vector<int64_t> delays);

} // namespace camsim
