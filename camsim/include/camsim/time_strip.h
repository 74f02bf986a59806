// A picture's own time, machine-readable: a strip of black and white
// blocks along the bottom of a recorded picture that spells the
// milliseconds since 1970 (UTC, the camera's clock) with a checksum, so a
// test reads the exact time a decoded picture shows, without reading the
// digits. The blocks are large enough to survive H.264 at the camera's
// rates down to 320 x 240.
//
//   drawTimeStrip(picture, 1765186210240);
//   std::optional<int64_t> t = readTimeStrip(luma, width, width, height);
#pragma once

#include "camsim/yuv_picture.h"

#include <cstdint>
#include <optional>

namespace camsim {

// Rows at the bottom of a picture of this height that the strip takes.
int timeStripHeight(int height);

// Draws the strip over the picture's bottom rows (width at least 128).
void drawTimeStrip(const YuvPicture& picture, int64_t unixMs);

// The time a picture's strip spells, read from its luma (studio or full
// range); nothing when there is no strip or its checksum fails.
std::optional<int64_t> readTimeStrip(const uint8_t* luma, int stride, int width, int height);

// The same for a picture drawn at drawnWidth x drawnHeight and shown scaled
// to width x height (a player's window on a screenshot).
std::optional<int64_t> readScaledTimeStrip(const uint8_t* luma, int stride, int width, int height, int drawnWidth,
                                           int drawnHeight);

} // namespace camsim
