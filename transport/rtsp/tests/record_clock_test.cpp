// What an RTSP session adds to the one time-stamp repair: its records start
// at their stream time, and a packet without a time is placed by arrival.
#include "corvel/record_clock.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace corvel {
namespace {

struct TimedPacket {
    std::optional<int64_t> streamMs;
    int64_t arrivalMs;
};

struct ClockCase {
    const char* name;
    std::vector<TimedPacket> packets;
    std::vector<int64_t> expected;
};

void PrintTo(const ClockCase& c, std::ostream* out) { *out << c.name; }

class RecordClockTable : public ::testing::TestWithParam<ClockCase> {};

TEST_P(RecordClockTable, PlacesEveryPacket) {
    RecordClock clock;
    std::vector<int64_t> out;
    for (const TimedPacket& p : GetParam().packets) out.push_back(clock.timeOf(p.streamMs, p.arrivalMs));
    EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordClockTable,
    ::testing::Values(
        ClockCase{"FirstRecordAtItsStreamTime", {{7000, 500}, {7040, 540}}, {7000, 7040}},
        ClockCase{"PacketWithoutTimeIsSpreadByArrival", {{100, 0}, {std::nullopt, 30}, {180, 80}}, {100, 130, 180}},
        ClockCase{"NoTimeYetStartsTheClockAtZero",
                  {{std::nullopt, 0}, {std::nullopt, 40}, {5000, 80}, {5040, 120}},
                  {0, 40, 80, 120}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace corvel
