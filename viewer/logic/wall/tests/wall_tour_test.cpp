// The tour on a manual clock, and the screens the wall and single view use.
#include <gtest/gtest.h>

#include <optional>

#include "tavolin/wall_screens.h"
#include "tavolin/wall_tour.h"

namespace tavolin {
namespace {

TEST(WallTourTest, EachLayoutShowsForItsPeriodInTurn) {
    platform::ManualClock clock;
    WallTour tour(clock);
    EXPECT_EQ(tour.start({0, 2, 3}, 10'000, true), 0);
    clock.advanceMs(9'999);
    EXPECT_EQ(tour.due(false), std::nullopt);
    clock.advanceMs(1);
    EXPECT_EQ(tour.due(false), 2);
    clock.advanceMs(10'000);
    EXPECT_EQ(tour.due(false), 3);
    clock.advanceMs(10'000);
    EXPECT_EQ(tour.due(false), 0); // round again
    tour.stop();
    clock.advanceMs(10'000);
    EXPECT_EQ(tour.due(false), std::nullopt);
    EXPECT_EQ(tour.start({}, 10'000, true), std::nullopt);
    EXPECT_FALSE(tour.isRunning());
}

TEST(WallTourTest, MotionHoldsTheTourUntilAFullPeriodAfterIt) {
    platform::ManualClock clock;
    WallTour tour(clock);
    tour.start({0, 1}, 10'000, true);
    clock.advanceMs(15'000);
    EXPECT_EQ(tour.due(true), std::nullopt);
    clock.advanceMs(9'000);
    EXPECT_EQ(tour.due(false), std::nullopt);
    clock.advanceMs(1'000);
    EXPECT_EQ(tour.due(false), 1);

    tour.start({0, 1}, 10'000, false); // motion does not hold it
    clock.advanceMs(10'000);
    EXPECT_EQ(tour.due(true), 1);
}

TEST(WallScreensTest, TheWallKeepsItsScreenWhileThereAndTheSingleViewTakesAnother) {
    struct Case {
        int chosen;
        int screens;
        WallScreens expected;
    };
    const Case cases[] = {
        {-1, 1, {0, 0}}, // never moved: the single view over the wall
        {-1, 2, {0, 0}}, {1, 2, {1, 0}}, {0, 2, {0, 1}},
        {2, 3, {2, 0}},  {1, 1, {0, 0}}, // its screen gone: the first, and nowhere else to go
        {3, 2, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.chosen << " of " << c.screens);
        EXPECT_EQ(chooseWallScreens(c.chosen, c.screens), c.expected);
    }
}

} // namespace
} // namespace tavolin
