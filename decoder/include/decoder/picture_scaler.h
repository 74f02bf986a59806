// Turns a decoded picture into a 32-bit BGRA picture of a given size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/libav_owners.h"

namespace decoder {

// swscale's vector code converts rows in blocks of pixels and may write up
// to a block past a row's end; rows are written in order, so only the last
// one runs past the picture. Buffers it writes keep this much room after it.
inline constexpr std::size_t kScalerOverrunBytes = 256;

class PictureScaler {
public:
    PictureScaler();
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // Writes `frame` (whose pixel format is `format`, full range when
    // `fullRange`) as width x height BGRA rows of `stride` bytes at `pixels`.
    // False when the scaler cannot be made for it.
    bool scale(const AVFrame& frame, int format, bool fullRange, int width, int height, uint8_t* pixels, int stride);
    // The same for the formats that are written without running past the
    // last row's pixels (writesExactly); false for the others.
    bool scaleExactly(const AVFrame& frame, int format, bool fullRange, int width, int height, uint8_t* pixels,
                      int stride);
    static bool writesExactly(int format);

private:
    using Scaler = platform::av::ScalerPtr;
    struct Setup {
        int sourceWidth = 0, sourceHeight = 0, format = -1, width = 0, height = 0;
        bool fullRange = false;
        bool operator==(const Setup&) const = default;
    };

    bool prepare(const Setup& setup, bool shrinking);

    Setup setup_;    // what the scalers were made and told for
    Scaler shrink_;  // source format, source size -> source format, target size
    Scaler convert_; // -> BGRA at the target size
    std::vector<uint8_t> shrunk_;
    std::vector<uint8_t> planar_; // the resized planes of planarYuvToBgra
    uint8_t* shrunkPlanes_[4] = {};
    int shrunkStrides_[4] = {};
};

} // namespace decoder
