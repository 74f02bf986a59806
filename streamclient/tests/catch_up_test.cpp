// The catch-up rule on a manual clock: which pictures a live stream decodes
// when they arrive on time, late, with a camera clock that runs fast or
// slow, or with time stamps that jump or say nothing.
#include "catch_up.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {
namespace {

struct Arrival {
    int64_t arrivalMs;
    uint32_t streamMs;
    bool key;
    bool decoded;
};

struct RuleCase {
    const char* name;
    std::vector<Arrival> pictures;
};

// 40 ms pictures; a key picture every 5th (k).
const RuleCase kCases[] = {
    {"on time with jitter below the bound",
     {{0, 0, true, true},
      {40, 40, false, true},
      {250, 80, false, true},
      {121, 120, false, true},
      {160, 160, false, true}}},
    {"a late picture skips to the next key picture on time",
     {{0, 0, true, true},
      {40, 40, false, true},
      {330, 80, false, false},
      {331, 120, false, false},
      {332, 160, true, true},
      {333, 200, false, true}}},
    {"a late key picture is skipped too, the newest on time is taken",
     {{0, 0, true, true},
      {500, 40, true, false},
      {501, 80, false, false},
      {502, 120, true, false},
      {503, 480, true, true},
      {530, 520, false, true}}},
    {"time stamps that jump back are taken again after the give-up time",
     {{0, 10000, true, true},
      {40, 10040, false, true},
      {80, 5080, false, false},
      {2000, 7000, true, false},
      {3080, 8080, false, false},
      {3120, 8120, true, true},
      {3160, 8160, false, true}}},
    {"pictures without a time of their own stay as late as the last",
     {{0, 7, true, true}, {400, 7, false, true}, {800, 7, false, true}, {1200, 7, true, true}}},
    {"stream time that wraps round", {{0, 0xFFFFFFD8u, true, true}, {40, 0, false, true}, {80, 40, false, true}}},
};

TEST(CatchUpTest, DecodesOnlyPicturesOnTimeOrTheKeyPictureThatCatchesUp) {
    for (const RuleCase& c : kCases) {
        CatchUp rule;
        for (std::size_t i = 0; i < c.pictures.size(); ++i) {
            const Arrival& a = c.pictures[i];
            EXPECT_EQ(rule.decode(a.arrivalMs, a.streamMs, a.key), a.decoded) << c.name << ", picture " << i;
        }
    }
}

// A camera clock off by `rate` for `minutes`, pictures 40 ms apart by it
// and a key picture a second: the pictures decoded, and the latest lateness.
struct SkewRun {
    int64_t decoded = 0;
    int64_t pictures = 0;
    int64_t lastLateness = 0;
};

SkewRun runWithCameraClock(double rate, int minutes) {
    CatchUp rule;
    SkewRun run;
    const int64_t count = static_cast<int64_t>(minutes) * 60 * 25;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t streamMs = i * 40;
        const auto arrival = static_cast<int64_t>(static_cast<double>(streamMs) / rate);
        run.decoded += rule.decode(arrival, static_cast<uint32_t>(streamMs), i % 25 == 0) ? 1 : 0;
        run.lastLateness = rule.latenessMs();
        ++run.pictures;
    }
    return run;
}

TEST(CatchUpTest, CameraClockSkewIsNotTakenForLateness) {
    for (double rate : {1.001, 0.999, 1.01}) {
        const SkewRun run = runWithCameraClock(rate, 30);
        EXPECT_EQ(run.decoded, run.pictures) << "clock rate " << rate;
        EXPECT_LE(run.lastLateness, CatchUp::kBoundMs) << "clock rate " << rate;
    }
}

TEST(CatchUpTest, ABacklogThatGrowsIsCaughtUpAndStaysBelowTheBound) {
    // Pictures queue up 5 % slower than they are made: the queue would
    // reach 90 s in half an hour.
    CatchUp rule;
    int64_t backlog = 0;
    int64_t skipped = 0;
    int64_t worst = 0;
    for (int64_t i = 0; i < 30 * 60 * 25; ++i) {
        const int64_t streamMs = i * 40;
        // Each decoded picture adds 2 ms to the queue; skipped ones drain it.
        const bool decoded = rule.decode(streamMs + backlog, static_cast<uint32_t>(streamMs), i % 25 == 0);
        backlog = decoded ? backlog + 2 : std::max<int64_t>(0, backlog - 30);
        if (!decoded) ++skipped;
        if (decoded) worst = std::max(worst, rule.latenessMs());
    }
    EXPECT_GT(skipped, 0);
    EXPECT_LE(worst, CatchUp::kBoundMs);
    EXPECT_EQ(rule.skipped(), skipped);
}

} // namespace
} // namespace ostrel
