// MPEG-4 Visual sequence headers as our cameras send them: a simple-profile
// visual object sequence, one video object and a video object layer with a
// fixed picture rate, in the same form for both protocols.
#pragma once

#include <cstdint>
#include <vector>

namespace camsim {

// The picture clock a camera uses for a frame rate: 1000 ticks per second per
// picture, at least 5000; PAL resolution codes (3 to 5) at most 25000.
int cameraTimeResolution(int resolutionCode, int frameRate);

// Bits needed to write values 0 .. resolution - 1 (at least 1).
int timeIncrementBits(int timeResolution);

// Video object start code, then the video object layer header (simple
// object, layer identifier version 2, no control parameters, rectangular,
// fixed increment 1001, progressive, no resync markers), stuffed to a byte
// boundary: 21 bytes for time resolutions 4097 .. 65535.
std::vector<uint8_t> videoObjectLayerHeader(int width, int height, int timeResolution);

// Visual object sequence (profile and level 0xF5) and visual object headers:
// the 10 bytes in front of the video object layer.
std::vector<uint8_t> visualObjectSequenceHeader();

} // namespace camsim
