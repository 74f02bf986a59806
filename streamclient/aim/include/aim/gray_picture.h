// A small grey copy of a camera's picture: what the pointing code compares.
#pragma once

#include <cstdint>
#include <vector>

namespace aim {

struct GrayPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width * height, rows top-down
    bool empty() const {
        return width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * height;
    }
};

// The size pictures are compared at: `width` wide (even), the height in the
// picture's aspect (even, at least 2).
struct SampleSize {
    int width = 0;
    int height = 0;
};
SampleSize sampleSizeFor(int pictureWidth, int pictureHeight, int width = 256);

} // namespace aim
