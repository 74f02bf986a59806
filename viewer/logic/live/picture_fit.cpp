#include "live/picture_fit.h"

#include <algorithm>
#include <cstdint>

namespace tavolin::ui {

QRect fitKeepingAspect(QSize picture, const QRect& box) {
    if (picture.isEmpty() || box.isEmpty()) return {};
    const int64_t pw = picture.width();
    const int64_t ph = picture.height();
    int64_t width = box.width();
    // The height of the full width, rounded; too tall, and the height is full.
    int64_t height = (width * ph * 2 + pw) / (pw * 2);
    if (height > box.height()) {
        height = box.height();
        width = (height * pw * 2 + ph) / (ph * 2);
    }
    width = std::max<int64_t>(width, 1);
    height = std::max<int64_t>(height, 1);
    const auto left = box.left() + static_cast<int>((box.width() - width) / 2);
    const auto top = box.top() + static_cast<int>((box.height() - height) / 2);
    return {left, top, static_cast<int>(width), static_cast<int>(height)};
}

} // namespace tavolin::ui
