#include "capture/picture_grab.h"

#include <algorithm>

#include "recorder/snapshot.h"

namespace tavolin::ui {

void PictureGrab::stretchDraw(const platform::PictureView& picture, const platform::SurfaceRect&) {
    if (picture.pixels == nullptr || picture.height <= 0) return;
    const std::size_t bytes = picture.stride * static_cast<std::size_t>(picture.height);
    std::lock_guard lock(mutex_);
    pixels_.assign(picture.pixels, picture.pixels + bytes);
    view_ = picture;
    view_.pixels = nullptr;
    drawnAt_ = std::chrono::system_clock::now();
}

std::optional<std::vector<uint8_t>> PictureGrab::jpeg(std::chrono::system_clock::time_point& drawnAt,
                                                      std::string& error) const {
    std::lock_guard lock(mutex_);
    if (pixels_.empty()) {
        error = "no picture came";
        return std::nullopt;
    }
    platform::PictureView view = view_;
    view.pixels = pixels_.data();
    drawnAt = drawnAt_;
    return recorder::encodeJpeg(view, error);
}

} // namespace tavolin::ui
