// Makes real MPEG-4 Visual frames for the decoder tests with libavcodec's own
// encoder, from RGB pictures the test paints.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/libav_owners.h"

namespace decoder::test {

struct Rgb {
    uint8_t r, g, b;
};

// width * height pixels, rows top-down.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    RgbPicture(int w, int h, Rgb fill) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    void fillRect(int x, int y, int w, int h, Rgb c);
};

// Four quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
RgbPicture quadrants(int width, int height);

struct EncodedFrame {
    std::vector<uint8_t> data;
    bool intra = false;
};

class TestEncoder {
public:
    // globalHeaders: sequence headers go to headers() instead of each intra
    // frame. codec: an AVCodecID (0: MPEG-4 Visual); H.264 and H.265 come in
    // Annex-B form with their parameter sets in each key frame.
    TestEncoder(int width, int height, int timeResolution, int gop, bool globalHeaders, int codec = 0);
    TestEncoder(const TestEncoder&) = delete;
    TestEncoder& operator=(const TestEncoder&) = delete;

    bool ok() const { return ok_; }
    EncodedFrame encode(const RgbPicture& picture);
    const std::vector<uint8_t>& headers() const { return headers_; }

private:
    platform::av::CodecContextPtr codec_;
    platform::av::FramePtr frame_;
    platform::av::PacketPtr packet_;
    int64_t pts_ = 0;
    int step_ = 1;
    bool ok_ = false;
    std::vector<uint8_t> headers_;
};

} // namespace decoder::test
