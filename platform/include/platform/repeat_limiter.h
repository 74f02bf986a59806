// Keeps a message that comes again and again from flooding the diagnostics:
// each kind of message is let through at most once an interval, and when it
// is, the count of those held back since comes with it.
#pragma once

#include "platform/diagnostics.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace platform {

class TAVOLIN_DIAGNOSTICS_API RepeatLimiter {
public:
    // At most `maxKinds` kinds are told apart; beyond them (and once older
    // ones are forgotten) new kinds share one allowance.
    explicit RepeatLimiter(int64_t intervalMs = 1000, std::size_t maxKinds = 256);

    struct Verdict {
        bool tell = false;
        uint64_t heldBack = 0; // of this kind since it was last told (when tell)
    };
    // A message of `kind` at `nowMs` (a monotonic scale). Not thread-safe:
    // the caller serialises.
    Verdict admit(const std::string& kind, int64_t nowMs);

private:
    struct Entry {
        int64_t toldMs = 0;
        uint64_t heldBack = 0;
    };
    void forgetQuietKinds(int64_t nowMs);

    const int64_t intervalMs_;
    const std::size_t maxKinds_;
    std::unordered_map<std::string, Entry> entries_;
};

// Tells `line` like diagnose(), at most once a second for its `kind`, with
// " (N more like it held back)" when others of the kind were held back.
// One limiter serves the process.
TAVOLIN_DIAGNOSTICS_API void diagnoseRepeating(const std::string& kind, const std::string& line);

} // namespace platform
