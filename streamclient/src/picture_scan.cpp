#include "picture_scan.h"

#include <algorithm>
#include <array>

#include "transport/mpeg4_picture.h"

namespace ostrel {

namespace {

constexpr std::size_t kVolBlockSize = 21;
constexpr std::array<uint8_t, 8> kVolStart = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20};

// Reads width bits at bit position pos of a big-endian bit string.
unsigned readBits(const uint8_t* block, int pos, int width) {
    unsigned value = 0;
    for (int i = 0; i < width; ++i) {
        const int bit = pos + i;
        value = (value << 1) | ((block[bit / 8] >> (7 - bit % 8)) & 1u);
    }
    return value;
}

} // namespace

bool containsIntraPicture(const uint8_t* data, std::size_t length) {
    return data != nullptr && transport::firstMpeg4Picture({data, length}) == transport::Mpeg4Picture::Intra;
}

PictureSize fitInto(PictureSize picture, int width, int height) {
    if (picture.width <= 0 || picture.height <= 0 || width <= 0 || height <= 0) return picture;
    if (picture.width <= width && picture.height <= height) return picture;
    const int64_t w = picture.width;
    const int64_t h = picture.height;
    // The side that runs into the box first sets the scale.
    if (w * height >= h * width) return {width, static_cast<int>(std::max<int64_t>(1, h * width / w))};
    return {static_cast<int>(std::max<int64_t>(1, w * height / h)), height};
}

int timeIncrementBits(unsigned resolution) {
    unsigned top = resolution > 0 ? resolution - 1 : 0;
    int bits = 0;
    while (top != 0) {
        ++bits;
        top >>= 1;
    }
    return std::max(bits, 1);
}

PictureSize parseVideoObjectLayer(const uint8_t* data, std::size_t length) {
    if (data == nullptr || length < kVolBlockSize) return {};
    const uint8_t* end = data + length;
    const uint8_t* found = std::search(data, end, kVolStart.begin(), kVolStart.end());
    if (found == end || static_cast<std::size_t>(end - found) < kVolBlockSize) return {};

    const unsigned type = readBits(found, 65, 8);
    if (type > 1) return {};
    // Type 0: no layer identifier, control parameters present; type 1: the
    // other way round. Both put the fields three bits apart.
    const int shift = type == 0 ? 0 : 3;
    const unsigned resolution = readBits(found, 86 + shift, 16);
    if (readBits(found, 103 + shift, 1) == 0) return {};
    const int k = timeIncrementBits(resolution);
    PictureSize size;
    size.width = static_cast<int>(readBits(found, k + 105 + shift, 13));
    size.height = static_cast<int>(readBits(found, k + 119 + shift, 13));
    return size;
}

} // namespace ostrel
