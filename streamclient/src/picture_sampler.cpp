#include "picture_sampler.h"

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/scale.h>
#include <libyuv/scale_argb.h>

#include <algorithm>
#include <climits>
#include <chrono>

#include "platform/surface.h"
#include "video_renderer.h"

namespace ostrel {

bool PictureSampler::next(uint8_t* out, int width, int height, int timeoutMs) {
    if (out == nullptr || width < 2 || height < 2 || width > 4096 || height > 4096) return false;
    std::lock_guard turn(callers_);
    std::unique_lock lock(mutex_);
    width_ = width;
    height_ = height;
    done_ = false;
    waiting_ = true;
    const bool served =
        served_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [this] { return done_; });
    waiting_ = false;
    if (!served) return false;
    std::copy(sample_.begin(), sample_.end(), out);
    return true;
}

void PictureSampler::offer(const PictureDescriptor& picture) {
    std::lock_guard lock(mutex_);
    if (!waiting_ || done_ || picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return;
    const int w = picture.width;
    const int h = picture.height;
    const std::size_t stride = platform::bitmapStride(w, picture.bitCount);
    if (stride == 0 || picture.pixelBytes < stride * static_cast<std::size_t>(h)) return;
    const uint8_t* argb = picture.pixels;
    int argbStride = static_cast<int>(stride);
    if (picture.bitCount != 32) {
        argb_.resize(static_cast<std::size_t>(w) * h * 4);
        int converted = -1;
        if (picture.bitCount == 24) {
            converted = libyuv::RGB24ToARGB(picture.pixels, static_cast<int>(stride), argb_.data(), w * 4, w, h);
        } else if (picture.bitCount == 16) {
            converted = libyuv::RGB565ToARGB(picture.pixels, static_cast<int>(stride), argb_.data(), w * 4, w, h);
        }
        if (converted != 0) return;
        argb = argb_.data();
        argbStride = w * 4;
    }
    scaled_.resize(static_cast<std::size_t>(width_) * height_ * 4);
    libyuv::ARGBScale(argb, argbStride, w, h, scaled_.data(), width_ * 4, width_, height_, libyuv::kFilterBox);
    sample_.resize(static_cast<std::size_t>(width_) * height_);
    libyuv::ARGBToJ400(scaled_.data(), width_ * 4, sample_.data(), width_, width_, height_);
    done_ = true;
    served_.notify_all();
}

void PictureSampler::offerLuma(const uint8_t* luma, std::size_t stride, int width, int height, bool fullRange) {
    std::lock_guard lock(mutex_);
    if (!waiting_ || done_ || luma == nullptr || width <= 0 || height <= 0 ||
        stride < static_cast<std::size_t>(width) || stride > static_cast<std::size_t>(INT32_MAX))
        return;
    sample_.resize(static_cast<std::size_t>(width_) * height_);
    libyuv::ScalePlane(luma, static_cast<int>(stride), width, height, sample_.data(), width_, width_, height_,
                       libyuv::kFilterBox);
    // Studio range (16 to 235) stretched to the full range rows give.
    if (!fullRange) {
        for (uint8_t& v : sample_) v = static_cast<uint8_t>(std::clamp((v - 16) * 255 / 219, 0, 255));
    }
    done_ = true;
    served_.notify_all();
}

} // namespace ostrel
