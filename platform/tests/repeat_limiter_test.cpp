#include "platform/repeat_limiter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int64_t kHeld = -1;

struct Message {
    int64_t atMs; // on the test's own clock
    const char* kind;
    int64_t told; // kHeld, or told with this many held back before it
};

struct LimiterCase {
    const char* name;
    std::size_t maxKinds;
    std::vector<Message> messages;
};

class RepeatLimiterTest : public ::testing::TestWithParam<LimiterCase> {};

TEST_P(RepeatLimiterTest, TellsEachKindOnceASecondWithTheCountHeldBack) {
    platform::RepeatLimiter limiter(1000, GetParam().maxKinds);
    for (const Message& m : GetParam().messages) {
        const auto verdict = limiter.admit(m.kind, m.atMs);
        EXPECT_EQ(verdict.tell ? static_cast<int64_t>(verdict.heldBack) : kHeld, m.told) << m.kind << " at " << m.atMs;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Floods, RepeatLimiterTest,
    ::testing::Values(
        LimiterCase{
            "RepeatsWithinASecondAreHeldBackAndCountedOnTheNextTelling",
            8,
            {{0, "a", 0}, {1, "a", kHeld}, {999, "a", kHeld}, {1000, "a", 2}, {1001, "a", kHeld}, {5000, "a", 1}}},
        LimiterCase{
            "KindsAreCountedApart", 8, {{0, "a", 0}, {10, "b", 0}, {20, "a", kHeld}, {1000, "a", 1}, {1010, "b", 0}}},
        LimiterCase{"KindsBeyondTheLimitShareOneAllowanceUntilQuietOnesAreForgotten",
                    2,
                    {{0, "a", 0}, {0, "b", 0}, {0, "c", 0}, {1, "d", kHeld}, {1000, "e", 0}, {1000, "f", 1}}}),
    [](const ::testing::TestParamInfo<LimiterCase>& info) { return std::string(info.param.name); });

} // namespace
