// What a press on the wall means once it ends or lasts: a tap on a cell, a
// hold that opens the menu, or a sideways swipe that turns the page. Time
// comes from the clock, so holds are tested without waiting.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace tavolin {

enum class WallGesture { None, Tap, Hold, SwipeNextPage, SwipePreviousPage };

class WallPointer {
public:
    static constexpr int kHoldMs = 700;
    // Moving further than this is no longer a tap or a hold.
    static constexpr int kSlop = 8;

    // `swipeDistance`: how far sideways a swipe must go (a share of the wall's
    // width suits fingers and mice alike).
    WallPointer(const platform::Clock& clock, int swipeDistance) : clock_(&clock), swipeDistance_(swipeDistance) {}

    void setSwipeDistance(int distance) { swipeDistance_ = distance; }

    void press(int x, int y);
    void move(int x, int y);
    // Tap, swipe or nothing (a hold already answered, or a drag that was
    // neither).
    WallGesture release(int x, int y);
    // Hold once the press rested long enough; call it from a timer.
    WallGesture tick();

private:
    const platform::Clock* clock_;
    int swipeDistance_;
    bool down_ = false;
    bool moved_ = false;
    bool held_ = false;
    int x0_ = 0;
    int y0_ = 0;
    int64_t pressedAtMs_ = 0;
};

} // namespace tavolin
