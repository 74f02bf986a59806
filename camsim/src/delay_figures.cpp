#include "camsim/delay_figures.h"

#include <algorithm>

namespace camsim {

DelayFigures delayFigures(std::vector<int64_t> delays) {
    DelayFigures f;
    f.count = static_cast<long>(delays.size());
    if (delays.empty()) return f;
    std::sort(delays.begin(), delays.end());
    const std::size_t n = delays.size();
    f.median = n % 2 == 1 ? delays[n / 2] : (delays[n / 2 - 1] + delays[n / 2]) / 2;
    f.percentile95 = delays[(95 * n + 99) / 100 - 1];
    return f;
}

} // namespace camsim
