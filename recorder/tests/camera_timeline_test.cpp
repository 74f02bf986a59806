// The frame cadence and the alignment of audio with video, as tables of
// camera stamps and arrival times.
#include <gtest/gtest.h>

#include <vector>

#include "recorder/camera_timeline.h"

namespace recorder {
namespace {

struct CadenceCase {
    const char* name;
    int frameRate;
    std::vector<int64_t> times;
    std::vector<int64_t> expected;
};

void PrintTo(const CadenceCase& c, std::ostream* out) { *out << c.name; }

class FrameCadenceTable : public ::testing::TestWithParam<CadenceCase> {};

TEST_P(FrameCadenceTable, PlacesPicturesOnTheFrameRate) {
    const CadenceCase& c = GetParam();
    FrameCadence cadence;
    std::vector<int64_t> out;
    for (const int64_t t : c.times) out.push_back(cadence.place(t, c.frameRate));
    EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameCadenceTable,
    ::testing::Values(CadenceCase{"JitterSnapsToTheReportedRate", 25, {0, 39, 81, 120, 161}, {0, 40, 80, 120, 160}},
                      CadenceCase{"BurstIsSpreadOut", 25, {0, 5, 10, 15, 200}, {0, 40, 80, 120, 200}},
                      CadenceCase{"WithoutARateFortyMilliseconds", 0, {0, 10, 20}, {0, 40, 80}},
                      CadenceCase{
                          "ThirtyPerSecondInWholeMilliseconds", 30, {0, 33, 67, 100, 133}, {0, 33, 67, 100, 133}}),
    [](const auto& info) { return std::string(info.param.name); });

// Audio stamped 20 ms after a picture, arriving 70 ms late, is placed by
// the picture's clock; audio on a clock of its own by its arrival.
TEST(CameraTimeline, AudioGoesOnTheVideosClockWhenTheyAgree) {
    for (const auto& [audioMs, expected] : {std::pair<uint32_t, int64_t>{10060, 60}, {900000, 110}}) {
        CameraTimeline timeline;
        timeline.place(MediaKind::H264, 10000, 0, 25);
        timeline.place(MediaKind::H264, 10040, 40, 25);
        EXPECT_EQ(timeline.place(MediaKind::Audio, audioMs, 110), expected);
    }
}

} // namespace
} // namespace recorder
