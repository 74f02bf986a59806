// tavolin-watch --latency: how old each picture is when it is decoded, read
// from the capture time a camera draws into its bottom rows (the simulator's
// --time-strip), and what those ages come to per second and over the run.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace watch {

// The capture time (ms since 1970) a drawn picture's strip spells; nothing
// when it has none. Reads the bottom rows of 16-, 24- or 32-bit pictures.
std::optional<int64_t> capturedAt(const platform::PictureView& picture);

struct AgeFigures {
    long pictures = 0; // with a strip
    long withoutStrip = 0;
    int64_t medianMs = 0;
    int64_t percentile95Ms = 0;
};

// The median and 95th percentile (nearest rank) of the ages.
AgeFigures ageFigures(std::vector<int64_t> ages, long withoutStrip);

// "age at decode: median 45 ms, 95th percentile 61 ms, 25 pictures"; with
// the pictures that had no strip when there were any.
std::string ageLine(const AgeFigures& figures);

// Ages kept by the drawing thread and taken by the printing one.
class PictureAges {
public:
    void add(const platform::PictureView& picture, int64_t nowMs);
    // The ages since the last call, and those of the whole run.
    AgeFigures takeSecond();
    AgeFigures wholeRun() const;

private:
    mutable std::mutex mutex_;
    std::vector<int64_t> second_;
    long secondWithout_ = 0;
    std::vector<int64_t> run_;
    long runWithout_ = 0;
};

} // namespace watch
