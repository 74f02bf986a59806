#include "live/patrol.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace tavolin::ui {
namespace {

// Sixteen records; the test names (1-based, as the user counts) the cameras
// in the switch group.
class PatrolTest : public ::testing::Test {
protected:
    PatrolTest() {
        for (int i = 0; i < kCameraCount; ++i) {
            stored[static_cast<std::size_t>(i)] = defaultCameraRecord(i);
            stored[static_cast<std::size_t>(i)].inSwitchGroup = 0;
            records[static_cast<std::size_t>(i)] = &stored[static_cast<std::size_t>(i)];
        }
    }
    void group(std::initializer_list<int> cameras) {
        for (int camera : cameras) stored[static_cast<std::size_t>(camera - 1)].inSwitchGroup = 1;
    }
    // Camera number shown after a step from camera `shown`, 0 for none.
    int step(int shown, PatrolDirection direction) {
        const std::optional<int> p = patrolStep(records, shown - 1, direction);
        return p ? *p + 1 : 0;
    }

    std::array<CameraRecord, kCameraCount> stored{};
    std::array<CameraRecord*, kCameraCount> records{};
};

TEST_F(PatrolTest, StepsThroughTheGroupBothWaysWithWrapAround) {
    group({2, 5, 9});
    EXPECT_EQ(step(5, PatrolDirection::Next), 9);
    EXPECT_EQ(step(9, PatrolDirection::Next), 2);
    EXPECT_EQ(step(2, PatrolDirection::Previous), 9);
    EXPECT_EQ(step(5, PatrolDirection::Previous), 2);
}

TEST_F(PatrolTest, CameraOutsideTheGroupStepsToTheNearestMember) {
    group({2, 9});
    EXPECT_EQ(step(5, PatrolDirection::Next), 9);
    EXPECT_EQ(step(5, PatrolDirection::Previous), 2);
}

TEST_F(PatrolTest, SixteenWrapsToOneAndBack) {
    group({1, 16});
    EXPECT_EQ(step(16, PatrolDirection::Next), 1);
    EXPECT_EQ(step(1, PatrolDirection::Previous), 16);
}

TEST_F(PatrolTest, NoOtherCameraInTheGroupGivesNothing) {
    EXPECT_EQ(step(5, PatrolDirection::Next), 0);
    group({5});
    EXPECT_EQ(step(5, PatrolDirection::Next), 0);
    EXPECT_EQ(step(5, PatrolDirection::Previous), 0);
}

TEST_F(PatrolTest, MissingRecordsAreSkipped) {
    group({3, 7});
    records[6] = nullptr;
    EXPECT_EQ(step(3, PatrolDirection::Next), 0);
}

} // namespace
} // namespace tavolin::ui
