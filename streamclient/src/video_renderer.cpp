#include "video_renderer.h"

namespace ostrel {

void PictureDescriptor::updateHeader() {
    header = {};
    header.headerSize = decoder::kPictureHeaderSize;
    header.planes = 1;
    header.width = width;
    header.height = -height;
    header.bitCount = bitCount;
    header.compression = static_cast<uint32_t>(compression);
}

CVideoRenderer::CVideoRenderer(uint32_t window) : window_(window) {}

CVideoRenderer::~CVideoRenderer() = default;

void CVideoRenderer::setDestination(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

std::shared_ptr<platform::Surface> CVideoRenderer::draw(const PictureDescriptor& picture, bool holdContext) {
    if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0 || picture.compression != 0) {
        return nullptr;
    }
    const std::size_t stride = platform::bitmapStride(picture.width, picture.bitCount);
    // A picture whose rows would run past what was copied is not drawn.
    if (stride == 0 || stride * static_cast<std::size_t>(picture.height) > picture.pixelBytes) return nullptr;

    std::shared_ptr<platform::Surface> surface = platform::SurfaceRegistry::find(window_);
    if (!surface) return nullptr;
    platform::PictureView view;
    view.width = picture.width;
    view.height = picture.height;
    view.bitCount = picture.bitCount;
    view.stride = stride;
    view.pixels = picture.pixels + picture.pixelOffset;
    surface->stretchDraw(view, {left_, top_, width_, height_});
    if (!holdContext) {
        surface->present();
        return nullptr;
    }
    return surface;
}

platform::PictureTarget CVideoRenderer::lend(int width, int height, std::shared_ptr<platform::Surface>& held) {
    held = platform::SurfaceRegistry::find(window_);
    if (!held) return {};
    const platform::PictureTarget target = held->lendPicture(width, height, decoder::kBitsPerPixel);
    if (target.pixels != nullptr && target.stride == platform::bitmapStride(width, decoder::kBitsPerPixel))
        return target;
    // Rows laid out otherwise are not what the picture's readers expect.
    if (target.pixels != nullptr) held->finishLent({left_, top_, width_, height_}, false);
    held.reset();
    return {};
}

void CVideoRenderer::finishLent(platform::Surface& surface, bool filled) {
    surface.finishLent({left_, top_, width_, height_}, filled);
}

platform::PlanarTarget CVideoRenderer::lendPlanes(int width, int height, std::shared_ptr<platform::Surface>& held) {
    held = platform::SurfaceRegistry::find(window_);
    if (!held) return {};
    const platform::PlanarTarget planes = held->lendPlanes(width, height);
    const auto w = static_cast<std::size_t>(width);
    if (planes.y != nullptr && planes.u != nullptr && planes.v != nullptr && planes.yStride >= w &&
        planes.uvStride >= (w + 1) / 2)
        return planes;
    if (planes.y != nullptr) held->finishLentPlanes({left_, top_, width_, height_}, false, false);
    held.reset();
    return {};
}

void CVideoRenderer::finishLentPlanes(platform::Surface& surface, bool filled, bool fullRange) {
    surface.finishLentPlanes({left_, top_, width_, height_}, filled, fullRange);
}

} // namespace ostrel
