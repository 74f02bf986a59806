// Planar 4:2:0 and 4:2:2 pictures, which is what cameras send, turned into
// BGRA of another size with libyuv's vector code: about a seventh of what
// swscale's shrink and conversion cost for a camera's small stream drawn in
// a wall cell, where the viewer's time goes once decoding is paid. Or, for
// a window that converts while it paints, 4:2:0 planes of another size.
#pragma once

#include <cstdint>
#include <vector>

struct AVFrame;

namespace decoder {

// Writes `frame` (pixel format `format`, full range when `fullRange`) as
// width x height BGRA rows of `stride` bytes at `pixels`, box-filtered when
// shrinking and bilinear when growing, with BT.601 colours as swscale's
// set-up gives them. `scratch` holds the resized planes between the calls.
// False when the format is not one it takes, or the sizes are not sane.
bool planarYuvToBgra(const AVFrame& frame, int format, bool fullRange, int width, int height, uint8_t* pixels,
                     int stride, std::vector<uint8_t>& scratch);

// Where 4:2:0 planes go: chroma planes of half the luma size, rounded up.
struct Planar420 {
    uint8_t* y;
    int yStride;
    uint8_t* u;
    uint8_t* v;
    int uvStride;
};

// Writes the 4:2:0 `frame` as width x height planes at `target`, resized
// with the filters planarYuvToBgra uses. False when a plane is missing, a
// stride is too small or the sizes are not sane.
bool planarYuvTo420(const AVFrame& frame, int width, int height, const Planar420& target);

} // namespace decoder
