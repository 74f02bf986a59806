// The two looks the receive thread takes into MPEG-4 video itself: whether a
// frame starts an intra picture, and the picture size in the video object
// layer header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

// True when the first picture start code (00 00 01 B6) whose coding type is
// intra or predicted announces an intra picture. Pictures of the other two
// coding types are skipped.
bool containsIntraPicture(const uint8_t* data, std::size_t length);

struct PictureSize {
    int width = 0;
    int height = 0;
};

// Width and height from the 21-byte video object + video object layer header
// (00 00 01 00 00 00 01 20 ...). Only object type indications 0 and 1 are
// understood; each has fixed field positions. Anything else gives 0 x 0.
PictureSize parseVideoObjectLayer(const uint8_t* data, std::size_t length);

// The largest size of the picture's aspect that fits into width x height,
// never larger than the picture; the picture's own size when a side of
// either is not positive.
PictureSize fitInto(PictureSize picture, int width, int height);

// Number of bits needed to write resolution - 1, at least 1.
int timeIncrementBits(unsigned resolution);

} // namespace ostrel
