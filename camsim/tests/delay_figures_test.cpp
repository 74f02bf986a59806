// The median and 95th percentile that every latency figure is given in.
#include "camsim/delay_figures.h"

#include <gtest/gtest.h>

#include <numeric>

namespace camsim {
namespace {

TEST(DelayFiguresTest, MedianAndNearestRank95thPercentile) {
    std::vector<int64_t> hundred(100);
    std::iota(hundred.rbegin(), hundred.rend(), 1); // 100 down to 1: the order given does not matter
    const struct {
        std::vector<int64_t> delays;
        long count;
        int64_t median, percentile95;
    } cases[] = {
        {{}, 0, 0, 0},
        {{7}, 1, 7, 7},
        {{30, 10, 20}, 3, 20, 30},
        {{40, 42, 45, 61}, 4, 43, 61}, // even: the middle two's mean
        {hundred, 100, 50, 95},
        {{-5, 3}, 2, -1, 3}, // a clock behind gives negative ages, kept as they are
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delays.size());
        const DelayFigures f = delayFigures(c.delays);
        EXPECT_EQ(f.count, c.count);
        EXPECT_EQ(f.median, c.median);
        EXPECT_EQ(f.percentile95, c.percentile95);
    }
}

} // namespace
} // namespace camsim
