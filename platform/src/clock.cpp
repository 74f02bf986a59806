#include "platform/clock.h"

#include <chrono>

namespace platform {

int64_t SystemClock::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SystemClock& SystemClock::instance() {
    static SystemClock clock;
    return clock;
}

} // namespace platform
