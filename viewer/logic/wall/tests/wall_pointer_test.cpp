// Taps, holds and swipes on a manual clock.
#include <gtest/gtest.h>

#include <vector>

#include "tavolin/wall_pointer.h"

namespace tavolin {
namespace {

struct Point {
    int x;
    int y;
};

TEST(WallPointerTest, ReleaseTellsTapSwipeOrNothing) {
    struct Case {
        std::vector<Point> path; // press, moves, release
        WallGesture gesture;
    };
    const Case cases[] = {
        {{{100, 100}, {100, 100}}, WallGesture::Tap},
        {{{100, 100}, {106, 95}, {104, 104}}, WallGesture::Tap}, // a shaking finger
        {{{300, 100}, {200, 110}, {150, 120}}, WallGesture::SwipeNextPage},
        {{{100, 100}, {260, 90}}, WallGesture::SwipePreviousPage},
        {{{300, 100}, {230, 100}}, WallGesture::None},             // not far enough
        {{{300, 100}, {150, 200}}, WallGesture::None},             // too steep
        {{{100, 100}, {300, 100}, {100, 100}}, WallGesture::None}, // went and came back
    };
    platform::ManualClock clock;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        WallPointer pointer(clock, 100);
        pointer.press(c.path.front().x, c.path.front().y);
        for (std::size_t i = 1; i + 1 < c.path.size(); ++i) pointer.move(c.path[i].x, c.path[i].y);
        EXPECT_EQ(pointer.release(c.path.back().x, c.path.back().y), c.gesture);
    }
}

TEST(WallPointerTest, AHeldPressOpensTheMenuOnceAndIsNoTap) {
    platform::ManualClock clock;
    WallPointer pointer(clock, 100);
    pointer.press(50, 50);
    clock.advanceMs(WallPointer::kHoldMs - 1);
    EXPECT_EQ(pointer.tick(), WallGesture::None);
    clock.advanceMs(1);
    EXPECT_EQ(pointer.tick(), WallGesture::Hold);
    EXPECT_EQ(pointer.tick(), WallGesture::None);
    EXPECT_EQ(pointer.release(50, 50), WallGesture::None);
}

} // namespace
} // namespace tavolin
