#include "planar_yuv_to_bgra.h"

#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/scale.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace decoder {

namespace {

struct Planes {
    const uint8_t* y;
    int yStride;
    const uint8_t* u;
    int uStride;
    const uint8_t* v;
    int vStride;
};

// libyuv's "ARGB" is B, G, R, A in memory: BGRA as libav names it.
int toBgra(const Planes& p, bool is420, bool fullRange, uint8_t* pixels, int stride, int width, int height) {
    if (is420) {
        return (fullRange ? libyuv::J420ToARGB : libyuv::I420ToARGB)(p.y, p.yStride, p.u, p.uStride, p.v, p.vStride,
                                                                     pixels, stride, width, height);
    }
    return (fullRange ? libyuv::J422ToARGB : libyuv::I422ToARGB)(p.y, p.yStride, p.u, p.uStride, p.v, p.vStride, pixels,
                                                                 stride, width, height);
}

// Box averages every source pixel into the smaller picture (no shimmer on
// fine detail); growing has nothing to average.
libyuv::FilterMode filterFor(const AVFrame& frame, int width, int height) {
    const bool shrinking = width <= frame.width && height <= frame.height;
    return shrinking ? libyuv::kFilterBox : libyuv::kFilterBilinear;
}

} // namespace

bool planarYuvToBgra(const AVFrame& frame, int format, bool fullRange, int width, int height, uint8_t* pixels,
                     int stride, std::vector<uint8_t>& scratch) {
    const bool is420 = format == AV_PIX_FMT_YUV420P;
    if (!is420 && format != AV_PIX_FMT_YUV422P) return false;
    if (width <= 0 || height <= 0 || frame.width <= 0 || frame.height <= 0 || stride < width * 4) return false;
    const Planes source{frame.data[0],     frame.linesize[0], frame.data[1],
                        frame.linesize[1], frame.data[2],     frame.linesize[2]};
    if (source.y == nullptr || source.u == nullptr || source.v == nullptr) return false;
    if (width == frame.width && height == frame.height) {
        return toBgra(source, is420, fullRange, pixels, stride, width, height) == 0;
    }

    const int chromaWidth = (width + 1) / 2;
    const int chromaHeight = is420 ? (height + 1) / 2 : height;
    const std::size_t lumaBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t chromaBytes = static_cast<std::size_t>(chromaWidth) * static_cast<std::size_t>(chromaHeight);
    if (scratch.size() < lumaBytes + 2 * chromaBytes) scratch.resize(lumaBytes + 2 * chromaBytes);
    uint8_t* y = scratch.data();
    uint8_t* u = y + lumaBytes;
    uint8_t* v = u + chromaBytes;
    const int scaled = (is420 ? libyuv::I420Scale : libyuv::I422Scale)(
        source.y, source.yStride, source.u, source.uStride, source.v, source.vStride, frame.width, frame.height, y,
        width, u, chromaWidth, v, chromaWidth, width, height, filterFor(frame, width, height));
    const Planes resized{y, width, u, chromaWidth, v, chromaWidth};
    return scaled == 0 && toBgra(resized, is420, fullRange, pixels, stride, width, height) == 0;
}

bool planarYuvTo420(const AVFrame& frame, int width, int height, const Planar420& target) {
    if (width <= 0 || height <= 0 || frame.width <= 0 || frame.height <= 0) return false;
    if (target.y == nullptr || target.u == nullptr || target.v == nullptr) return false;
    if (target.yStride < width || target.uvStride < (width + 1) / 2) return false;
    if (frame.data[0] == nullptr || frame.data[1] == nullptr || frame.data[2] == nullptr) return false;
    if (width == frame.width && height == frame.height) {
        return libyuv::I420Copy(frame.data[0], frame.linesize[0], frame.data[1], frame.linesize[1], frame.data[2],
                                frame.linesize[2], target.y, target.yStride, target.u, target.uvStride, target.v,
                                target.uvStride, width, height) == 0;
    }
    return libyuv::I420Scale(frame.data[0], frame.linesize[0], frame.data[1], frame.linesize[1], frame.data[2],
                             frame.linesize[2], frame.width, frame.height, target.y, target.yStride, target.u,
                             target.uvStride, target.v, target.uvStride, width, height,
                             filterFor(frame, width, height)) == 0;
}

} // namespace decoder
