#include "tavolin/wall_pointer.h"

#include <cstdlib>

namespace tavolin {

void WallPointer::press(int x, int y) {
    down_ = true;
    moved_ = false;
    held_ = false;
    x0_ = x;
    y0_ = y;
    pressedAtMs_ = clock_->nowMs();
}

void WallPointer::move(int x, int y) {
    if (down_ && (std::abs(x - x0_) > kSlop || std::abs(y - y0_) > kSlop)) moved_ = true;
}

WallGesture WallPointer::release(int x, int y) {
    if (!down_) return WallGesture::None;
    move(x, y);
    down_ = false;
    if (held_) return WallGesture::None;
    if (!moved_) return WallGesture::Tap;
    const int dx = x - x0_;
    const int dy = y - y0_;
    // Mostly sideways and far enough; a finger moving left brings the next page.
    if (std::abs(dx) >= swipeDistance_ && std::abs(dx) > 2 * std::abs(dy)) {
        return dx < 0 ? WallGesture::SwipeNextPage : WallGesture::SwipePreviousPage;
    }
    return WallGesture::None;
}

WallGesture WallPointer::tick() {
    if (!down_ || moved_ || held_ || clock_->nowMs() - pressedAtMs_ < kHoldMs) return WallGesture::None;
    held_ = true;
    return WallGesture::Hold;
}

} // namespace tavolin
