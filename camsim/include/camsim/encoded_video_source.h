// Real MPEG-4 video for the simulated cameras: a moving test pattern encoded
// with libavcodec's MPEG-4 Part 2 encoder.
//
// The picture is four coloured quadrants (red top left, green top right,
// blue bottom left, white bottom right) crossed by a grey band through the
// middle in which a black bar moves from left to right, 8 pixels per frame.
// patternColour() tells what any pixel of any frame should look like, so a
// decoded picture can be checked at known places.
//
// Frames are coded so that they parse under the sequence headers of
// mpeg4_headers.h with the same size and time resolution: the encoder's own
// headers are kept out of the frames, an intra frame is the group-of-VOP
// header and the VOP, a predicted frame the bare VOP. No B-frames.
#pragma once

#include "camsim/video_source.h"
#include "camsim/yuv_picture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace camsim {

struct EncodedVideoOptions {
    int width = 352;
    int height = 240;
    int frameRate = 30;     // 1..30
    int timeResolution = 0; // VOP time ticks per second; 0 = cameraTimeResolution(-1, frameRate)
    int gopLength = 0;      // frames per intra frame; 0 = one a second
    int quantiser = 4;      // 2 (finest) .. 31
    int frameLimit = -1;    // frames before the source ends; -1 = endless
    // Brightness swing of a fine checker texture laid over the whole picture
    // and scrolled 2 pixels a frame, so that pictures cost what camera
    // pictures cost to code and decode (benchmarks); 0 = flat colours.
    int texture = 0;
    // Draws every picture in place of the test pattern (a camera's scene).
    std::function<void(int frameIndex, const YuvPicture& picture)> painter;
};

struct PatternColour {
    uint8_t r, g, b;
};

class EncodedVideoSource final : public VideoSource {
public:
    // Null when the options are unusable or libavcodec cannot encode.
    static std::unique_ptr<EncodedVideoSource> create(const EncodedVideoOptions& options);
    ~EncodedVideoSource() override;

    bool nextFrame(VideoFrame& frame) override;
    int width() const override;
    int height() const override;
    int frameRate() const override;
    // The 31 bytes a camera puts in front of an intra frame: visual object
    // sequence and visual object headers, then the 21-byte video object layer.
    std::vector<uint8_t> sequenceHeader() const override;
    int timeResolution() const;

    static PatternColour patternColour(int width, int height, int frameIndex, int x, int y);

    struct Encoder;

private:
    explicit EncodedVideoSource(std::unique_ptr<Encoder> encoder);
    std::unique_ptr<Encoder> encoder_;
};

} // namespace camsim
