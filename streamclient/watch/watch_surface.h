// A headless surface: it counts pictures, keeps their size and, when asked,
// a copy of the latest one for writing to an image file.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "picture_age.h"
#include "platform/surface.h"

namespace watch {

class WatchSurface final : public platform::Surface {
public:
    // `ages`, when given, hears of every picture drawn (--latency); it
    // outlives the surface.
    explicit WatchSurface(bool keepPictures, PictureAges* ages = nullptr) : keepPictures_(keepPictures), ages_(ages) {}

    void stretchDraw(const platform::PictureView& picture, const platform::SurfaceRect& dest) override;
    void drawText(const std::u16string&, const platform::SurfaceRect&, platform::SurfaceColor,
                  platform::SurfaceColor) override {}
    platform::SurfaceSize clientSize() const override { return {0, 0}; }

    struct Status {
        long pictures = 0;
        int width = 0;
        int height = 0;
    };
    Status status() const;
    // Writes the latest picture as a binary PPM (via a temporary file);
    // false when there is none yet or the file cannot be written.
    bool writeLatest(const std::string& path) const;
    // The latest picture as JPEG bytes and when it was drawn (its own time,
    // which names its file); nothing, with the reason, before one.
    std::optional<std::vector<uint8_t>> latestJpeg(std::chrono::system_clock::time_point& drawnAt,
                                                   std::string& error) const;

private:
    bool keepPictures_;
    PictureAges* ages_;
    mutable std::mutex mutex_;
    Status status_;
    int bitCount_ = 0;
    std::size_t stride_ = 0;
    std::vector<uint8_t> pixels_;
    std::chrono::system_clock::time_point drawnAt_;
};

} // namespace watch
