// Record on motion as a table of motion reports and ticks on a manual clock.
#include <gtest/gtest.h>

#include <vector>

#include "recorder/motion_rule.h"

namespace recorder {
namespace {

// 'M' motion at a time, 'T' a tick (a picture without motion).
struct Event {
    char what;
    int64_t atMs;
};

struct MotionCase {
    const char* name;
    int64_t holdMs;
    std::vector<Event> events;
    std::vector<MotionAction> actions;
};

void PrintTo(const MotionCase& c, std::ostream* out) { *out << c.name; }

class MotionRuleTable : public ::testing::TestWithParam<MotionCase> {};

TEST_P(MotionRuleTable, StartsOnMotionAndStopsAfterTheHold) {
    const MotionCase& c = GetParam();
    MotionRule rule(c.holdMs);
    std::vector<MotionAction> actions;
    for (const Event& e : c.events) actions.push_back(e.what == 'M' ? rule.motion(e.atMs) : rule.tick(e.atMs));
    EXPECT_EQ(actions, c.actions);
}

constexpr auto N = MotionAction::None;
constexpr auto S = MotionAction::Start;
constexpr auto X = MotionAction::Stop;

INSTANTIATE_TEST_SUITE_P(
    Cases, MotionRuleTable,
    ::testing::Values(
        MotionCase{"MotionStartsAClip", 5000, {{'T', 0}, {'M', 100}}, {N, S}},
        MotionCase{"EndsTheHoldAfterTheLastMotion", 5000, {{'M', 0}, {'T', 4999}, {'T', 5000}}, {S, N, X}},
        MotionCase{"MoreMotionExtendsTheClip",
                   5000,
                   {{'M', 0}, {'M', 3000}, {'T', 5000}, {'T', 7999}, {'T', 8000}},
                   {S, N, N, N, X}},
        MotionCase{"MotionAfterTheEndStartsANewClip", 1000, {{'M', 0}, {'T', 1000}, {'M', 1500}}, {S, X, S}},
        MotionCase{"OffNeverActs", 0, {{'M', 0}, {'T', 99999}}, {N, N}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace recorder
