// The one time-stamp repair, as a table of camera stamps and arrival times.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/timestamp_repair.h"

namespace transport {
namespace {

struct Sample {
    uint32_t cameraMs;
    int64_t arrivalMs;
};

struct RepairCase {
    const char* name;
    std::vector<Sample> samples;
    std::vector<int64_t> expected;
};

void PrintTo(const RepairCase& c, std::ostream* out) { *out << c.name; }

class TimestampRepairTable : public ::testing::TestWithParam<RepairCase> {};

TEST_P(TimestampRepairTable, PlacesEveryStamp) {
    const RepairCase& c = GetParam();
    TimestampRepair repair;
    std::vector<int64_t> out;
    for (const Sample& s : c.samples)
        out.push_back(repair.started() ? repair.next(s.cameraMs, s.arrivalMs)
                                       : repair.start(s.cameraMs, s.arrivalMs, 0));
    EXPECT_EQ(out, c.expected);
}

constexpr uint32_t kHour = 3600 * 1000;

INSTANTIATE_TEST_SUITE_P(
    Cases, TimestampRepairTable,
    ::testing::Values(
        RepairCase{"SteadyStampsAreKept", {{5000, 100}, {5040, 140}, {5080, 180}}, {0, 40, 80}},
        RepairCase{"WrapOf32Bits", {{0xFFFFFFD8u, 0}, {0, 40}, {40, 80}}, {0, 40, 80}},
        RepairCase{"JumpByHoursIsBridgedByArrival",
                   {{1000, 0}, {1040, 40}, {1040 + 5 * kHour, 80}, {1080 + 5 * kHour, 120}},
                   {0, 40, 80, 120}},
        RepairCase{
            "ClockSetBackIsBridgedByArrival", {{60000, 0}, {60040, 40}, {55080, 80}, {55120, 120}}, {0, 40, 80, 120}},
        RepairCase{"SmallStepBackStillGrows", {{0, 0}, {80, 40}, {40, 80}, {120, 120}}, {0, 80, 81, 120}},
        RepairCase{
            "HeldStampSpreadsByArrival", {{0, 0}, {0, 33}, {0, 67}, {0, 100}, {133, 133}}, {0, 33, 67, 100, 133}},
        RepairCase{"LateArrivalKeepsTheCamerasTimes", {{0, 0}, {40, 40}, {80, 3000}, {120, 3001}}, {0, 40, 80, 120}},
        RepairCase{"LongGroupOfHeldStampsIsNoJump",
                   {{0, 0}, {0, 1000}, {0, 2000}, {0, 3000}, {4000, 4000}},
                   {0, 1000, 2000, 3000, 4000}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace transport
