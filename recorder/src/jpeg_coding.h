// JPEG bytes of one decoded picture, with libavcodec: what snapshots of
// drawn pictures and of pictures decoded from the recorder's frames share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace recorder {

// A picture in any format swscale reads (`fullRange`: its YUV uses the full
// range) coded as a JPEG file's bytes; nothing, with the reason, when it
// makes no sense or cannot be coded.
std::optional<std::vector<uint8_t>> codeJpeg(const uint8_t* const planes[4], const int strides[4], AVPixelFormat format,
                                             bool fullRange, int width, int height, std::string& error);

} // namespace recorder
