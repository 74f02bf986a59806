#include "corvel/record_clock.h"

namespace corvel {

int64_t RecordClock::timeOf(std::optional<int64_t> streamMs, int64_t arrivalMs) {
    if (streamMs) lastStamp_ = static_cast<uint32_t>(*streamMs);
    if (!repair_.started()) return repair_.start(lastStamp_, arrivalMs, streamMs.value_or(0));
    return repair_.next(lastStamp_, arrivalMs);
}

} // namespace corvel
