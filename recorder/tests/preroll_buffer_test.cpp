// The pre-roll buffer as a table: which frames it keeps for a stream of key
// pictures, other pictures and audio, within its time and byte bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recorder/preroll_buffer.h"

namespace recorder {
namespace {

// One frame of a table row: 'K' key picture, 'P' other picture, 'A' audio,
// its time and payload size.
struct In {
    char what;
    int64_t timeMs;
    std::size_t bytes = 100;
};

Frame frameOf(const In& in) {
    Frame f;
    f.kind = in.what == 'A' ? MediaKind::Audio : MediaKind::H264;
    f.key = in.what == 'K';
    f.timeMs = in.timeMs;
    f.payload.assign(in.bytes, 0);
    return f;
}

struct PreRollCase {
    const char* name;
    PreRollLimits limits;
    std::vector<In> frames;
    std::vector<int64_t> kept; // times of the frames handed over
};

void PrintTo(const PreRollCase& c, std::ostream* out) { *out << c.name; }

std::vector<In> keysEverySecond(int64_t untilMs) {
    std::vector<In> frames;
    for (int64_t t = 0; t <= untilMs; t += 250) frames.push_back({t % 1000 == 0 ? 'K' : 'P', t});
    return frames;
}

constexpr std::size_t kRoomy = 1 << 20;

class PreRollTable : public ::testing::TestWithParam<PreRollCase> {};

TEST_P(PreRollTable, KeepsWholeGroupsWithinItsBounds) {
    const PreRollCase& c = GetParam();
    PreRollBuffer buffer(c.limits);
    for (const In& in : c.frames) {
        buffer.push(frameOf(in));
        EXPECT_LE(buffer.bytes(), c.limits.maxBytes);
    }
    std::vector<int64_t> kept;
    const std::vector<Frame> frames = buffer.take();
    for (const Frame& f : frames) kept.push_back(f.timeMs);
    EXPECT_EQ(kept, c.kept);
    if (!frames.empty()) {
        EXPECT_TRUE(frames.front().key);
    }
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.bytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreRollTable,
    ::testing::Values(
        PreRollCase{"NothingBeforeTheFirstKeyPicture",
                    {kRoomy, 10000},
                    {{'P', 0}, {'A', 10}, {'K', 40}, {'A', 50}, {'P', 80}},
                    {40, 50, 80}},
        PreRollCase{"FromTheKeyPictureBeforeTheLastSeconds",
                    {kRoomy, 2500},
                    keysEverySecond(5500),
                    {3000, 3250, 3500, 3750, 4000, 4250, 4500, 4750, 5000, 5250, 5500}},
        PreRollCase{"NoSecondsKeepsTheLatestGroup", {kRoomy, 0}, keysEverySecond(2500), {2000, 2250, 2500}},
        PreRollCase{"ByteBoundDropsTheOldestGroup",
                    {3 * (sizeof(Frame) + 1000), 10000},
                    {{'K', 0, 1000}, {'P', 40, 1000}, {'K', 80, 1000}, {'P', 120, 1000}},
                    {80, 120}},
        PreRollCase{"GroupLargerThanTheBoundIsDroppedUntilTheNextKeyPicture",
                    {2 * (sizeof(Frame) + 1000), 10000},
                    {{'K', 0, 1000}, {'P', 40, 1000}, {'P', 80, 1000}, {'P', 120, 1000}, {'K', 160, 1000}},
                    {160}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace recorder
