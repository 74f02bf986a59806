#include "decoder/picture_scaler.h"

#include "planar_yuv_to_bgra.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace decoder {

namespace {

// Below this a picture is shrunk and converted in one pass.
constexpr int kTwoPassMinimumSide = 16;

} // namespace

PictureScaler::PictureScaler() = default;
PictureScaler::~PictureScaler() = default;

// Formats libyuv does not take (planarYuvToBgra) go through swscale here. A
// smaller picture is first shrunk in its own YUV format by area averaging,
// then converted to BGRA at its final size. swscale's one-pass scale into a
// packed RGB format filters every output pixel in plain C; the two passes use
// its vector code on both and cost about a fifth of it for a camera picture
// shown in a quarter of the screen.
bool PictureScaler::prepare(const Setup& setup, bool shrinking) {
    const auto format = static_cast<AVPixelFormat>(setup.format);
    if (shrinking) {
        shrink_.reset(sws_getCachedContext(shrink_.release(), setup.sourceWidth, setup.sourceHeight, format,
                                           setup.width, setup.height, format, SWS_AREA, nullptr, nullptr, nullptr));
        if (!shrink_) return false;
        const int bytes = av_image_get_buffer_size(format, setup.width, setup.height, 32);
        if (bytes <= 0) return false;
        const std::size_t room = static_cast<std::size_t>(bytes) + kScalerOverrunBytes;
        if (shrunk_.size() < room) shrunk_.resize(room);
        if (av_image_fill_arrays(shrunkPlanes_, shrunkStrides_, shrunk_.data(), format, setup.width, setup.height, 32) <
            0) {
            return false;
        }
    } else {
        shrink_.reset();
    }
    const int fromWidth = shrinking ? setup.width : setup.sourceWidth;
    const int fromHeight = shrinking ? setup.height : setup.sourceHeight;
    convert_.reset(sws_getCachedContext(convert_.release(), fromWidth, fromHeight, format, setup.width, setup.height,
                                        AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!convert_) return false;
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(convert_.get(), coefficients, setup.fullRange ? 1 : 0, coefficients, 0, 0, 1 << 16,
                             1 << 16);
    return true;
}

bool PictureScaler::writesExactly(int format) { return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUV422P; }

bool PictureScaler::scaleExactly(const AVFrame& frame, int format, bool fullRange, int width, int height,
                                 uint8_t* pixels, int stride) {
    return writesExactly(format) && planarYuvToBgra(frame, format, fullRange, width, height, pixels, stride, planar_);
}

bool PictureScaler::scale(const AVFrame& frame, int format, bool fullRange, int width, int height, uint8_t* pixels,
                          int stride) {
    if (planarYuvToBgra(frame, format, fullRange, width, height, pixels, stride, planar_)) return true;
    const Setup setup{frame.width, frame.height, format, width, height, fullRange};
    const bool shrinking = width <= frame.width && height <= frame.height &&
                           (width < frame.width || height < frame.height) && width >= kTwoPassMinimumSide &&
                           height >= kTwoPassMinimumSide;
    if (!(setup == setup_) || !convert_) {
        setup_ = {};
        if (!prepare(setup, shrinking)) return false;
        setup_ = setup;
    }
    uint8_t* dst[4] = {pixels, nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    if (!shrink_)
        return sws_scale(convert_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride) == height;
    if (sws_scale(shrink_.get(), frame.data, frame.linesize, 0, frame.height, shrunkPlanes_, shrunkStrides_) !=
        height) {
        return false;
    }
    return sws_scale(convert_.get(), shrunkPlanes_, shrunkStrides_, 0, height, dst, dstStride) == height;
}

} // namespace decoder
