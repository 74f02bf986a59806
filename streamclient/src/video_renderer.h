// Draws decoded pictures into the window named by the render information.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <decoder/contract.h>

#include "platform/surface.h"

namespace ostrel {

struct PictureDescriptor {
    int32_t width = 0;
    int32_t height = 0;
    int32_t compression = 0; // 0 = uncompressed RGB
    uint16_t bitCount = 0;
    const uint8_t* pixels = nullptr;
    std::size_t pixelOffset = 0;
    std::size_t pixelBytes = 0; // bytes of pixels at `pixels`
    PictureHeader header{};     // the 40-byte bitmap information header, as the decoder gives it

    // Rebuilds the bitmap header from the fields above.
    void updateHeader();
};

class CVideoRenderer {
public:
    explicit CVideoRenderer(uint32_t window);
    virtual ~CVideoRenderer();
    CVideoRenderer(const CVideoRenderer&) = delete;
    CVideoRenderer& operator=(const CVideoRenderer&) = delete;

    void setDestination(int left, int top, int width, int height);
    uint32_t window() const { return window_; }

    // Stretches the picture into the destination. With holdContext the window
    // stays held (returned) for the overlay; otherwise it is released at once.
    // Returns null when there is no window or nothing drawable.
    std::shared_ptr<platform::Surface> draw(const PictureDescriptor& picture, bool holdContext);
    // The window's own buffer for a 32-bit picture of width x height (see
    // Surface::lendPicture), the window held in `held` until finishLent. No
    // pixels when there is no window or it lends nothing.
    platform::PictureTarget lend(int width, int height, std::shared_ptr<platform::Surface>& held);
    // The lent picture goes to the destination, or is dropped when not filled.
    void finishLent(platform::Surface& surface, bool filled);
    // The same for a window that takes 4:2:0 planes (Surface::lendPlanes).
    platform::PlanarTarget lendPlanes(int width, int height, std::shared_ptr<platform::Surface>& held);
    void finishLentPlanes(platform::Surface& surface, bool filled, bool fullRange);

private:
    uint32_t window_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 720;
    int height_ = 576;
    // Kept for the drawing interface's sake; never drawn from.
    PictureDescriptor spare_[2];
};

} // namespace ostrel
