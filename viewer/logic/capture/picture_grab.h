// An off-screen surface the stream client draws a camera's big stream into,
// for a snapshot: it keeps a copy of the latest picture at the size it came
// in (the stream's own) and when it was drawn.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace tavolin::ui {

class PictureGrab final : public platform::Surface {
public:
    void stretchDraw(const platform::PictureView& picture, const platform::SurfaceRect& dest) override;
    void drawText(const std::u16string&, const platform::SurfaceRect&, platform::SurfaceColor,
                  platform::SurfaceColor) override {}
    platform::SurfaceSize clientSize() const override { return {0, 0}; }

    // The latest picture as JPEG bytes and when it was drawn; nothing, with
    // the reason, before the first.
    std::optional<std::vector<uint8_t>> jpeg(std::chrono::system_clock::time_point& drawnAt, std::string& error) const;

private:
    mutable std::mutex mutex_;
    platform::PictureView view_{};
    std::vector<uint8_t> pixels_;
    std::chrono::system_clock::time_point drawnAt_;
};

} // namespace tavolin::ui
