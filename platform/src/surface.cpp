#include "platform/surface.h"

#include <libyuv/convert_argb.h>

#include <algorithm>
#include <map>
#include <utility>

namespace platform {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<uint32_t, std::shared_ptr<Surface>> surfaces;
    uint32_t next = 0x1000;
};

Registry& registry() {
    static Registry r;
    return r;
}

constexpr std::size_t kKeptTexts = 64;

} // namespace

Surface::~Surface() = default;

PictureTarget Surface::lendPicture(int, int, int) { return {}; }
PlanarTarget Surface::lendPlanes(int, int) { return {}; }
void Surface::finishLentPlanes(const SurfaceRect&, bool, bool) {}

void Surface::finishLent(const SurfaceRect&, bool) {}

uint32_t SurfaceRegistry::add(std::shared_ptr<Surface> surface) {
    if (!surface) return 0;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    uint32_t handle = 0;
    do {
        handle = r.next++;
    } while (handle == 0 || r.surfaces.count(handle) != 0);
    r.surfaces.emplace(handle, std::move(surface));
    return handle;
}

void SurfaceRegistry::remove(uint32_t handle) {
    std::shared_ptr<Surface> last; // released outside the lock
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.surfaces.find(handle);
    if (it == r.surfaces.end()) return;
    last = std::move(it->second);
    r.surfaces.erase(it);
}

std::shared_ptr<Surface> SurfaceRegistry::find(uint32_t handle) {
    if (handle == 0) return nullptr;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.surfaces.find(handle);
    return it == r.surfaces.end() ? nullptr : it->second;
}

RecordingSurface::RecordingSurface(SurfaceSize size, Lending lending) : size_(size), lending_(lending) {}

PictureTarget RecordingSurface::lendPicture(int width, int height, int bitCount) {
    const std::size_t stride = bitmapStride(width, bitCount);
    if (lending_ == Lending::No || stride == 0 || height <= 0) return {};
    lent_.resize(stride * static_cast<std::size_t>(height));
    lentShape_ = {width, height, bitCount, stride, lent_.data()};
    return {lent_.data(), stride};
}

void RecordingSurface::finishLent(const SurfaceRect& dest, bool filled) {
    if (filled && lentShape_.pixels != nullptr) stretchDraw(lentShape_, dest);
    lentShape_ = {};
}

PlanarTarget RecordingSurface::lendPlanes(int width, int height) {
    if (lending_ != Lending::Planes || width <= 0 || height <= 0) return {};
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const std::size_t chroma = ((w + 1) / 2) * ((h + 1) / 2);
    lentPlanes_.resize(w * h + 2 * chroma);
    lentPlanesSize_ = {width, height};
    uint8_t* y = lentPlanes_.data();
    lentPlanesAt_ = {y, y + w * h, y + w * h + chroma, w, (w + 1) / 2};
    return lentPlanesAt_;
}

void RecordingSurface::finishLentPlanes(const SurfaceRect& dest, bool filled, bool fullRange) {
    const SurfaceSize size = std::exchange(lentPlanesSize_, {});
    const PlanarTarget at = std::exchange(lentPlanesAt_, {});
    if (!filled || size.width <= 0) return;
    const auto uvStride = static_cast<int>(at.uvStride);
    const std::size_t stride = bitmapStride(size.width, 32);
    std::vector<uint8_t> rows(stride * static_cast<std::size_t>(size.height));
    if ((fullRange ? libyuv::J420ToARGB : libyuv::I420ToARGB)(at.y, static_cast<int>(at.yStride), at.u, uvStride, at.v,
                                                              uvStride, rows.data(), static_cast<int>(stride),
                                                              size.width, size.height) != 0)
        return;
    stretchDraw({size.width, size.height, 32, stride, rows.data()}, dest);
    std::lock_guard lock(mutex_);
    ++state_.planarCount;
}

void RecordingSurface::stretchDraw(const PictureView& picture, const SurfaceRect& dest) {
    std::lock_guard lock(mutex_);
    ++state_.drawCount;
    state_.width = picture.width;
    state_.height = picture.height;
    state_.bitCount = picture.bitCount;
    state_.stride = picture.stride;
    state_.dest = dest;
    const std::size_t bytes =
        picture.pixels != nullptr && picture.height > 0 ? picture.stride * static_cast<std::size_t>(picture.height) : 0;
    state_.pixels.assign(picture.pixels, picture.pixels + bytes);
}

void RecordingSurface::drawText(const std::u16string& text, const SurfaceRect& box, SurfaceColor textColor,
                                SurfaceColor background) {
    std::lock_guard lock(mutex_);
    if (state_.texts.size() >= kKeptTexts) state_.texts.erase(state_.texts.begin());
    state_.texts.push_back({text, box, textColor, background});
}

void RecordingSurface::present() {
    std::lock_guard lock(mutex_);
    ++state_.presentCount;
}

SurfaceSize RecordingSurface::clientSize() const {
    std::lock_guard lock(mutex_);
    return size_;
}

RecordingSurface::Snapshot RecordingSurface::snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

int RecordingSurface::drawCount() const {
    std::lock_guard lock(mutex_);
    return state_.drawCount;
}

} // namespace platform
