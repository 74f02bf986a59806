// The times a session's records carry: the stream's clock (libav's time
// stamps in milliseconds) through the one repair every stream's stamps
// follow (transport::TimestampRepair), the first record at its stream time,
// so that whoever orders or paces records by their time never waits hours
// for the next one or takes it for a late one.
#pragma once

#include <cstdint>
#include <optional>

#include "transport/timestamp_repair.h"

namespace corvel {

class RecordClock {
public:
    // The record time of a packet with stream time `streamMs` that arrived
    // at `arrivalMs` (a steady clock). A packet without a time (none) holds
    // the last one, and is spread from it by its arrival; before any time
    // came the stream's clock starts at 0.
    int64_t timeOf(std::optional<int64_t> streamMs, int64_t arrivalMs);
    void reset() { *this = RecordClock(); }

private:
    transport::TimestampRepair repair_;
    uint32_t lastStamp_ = 0;
};

} // namespace corvel
