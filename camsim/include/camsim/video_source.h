// Where the simulated camera gets its pictures. The synthetic source below is
// enough for protocol tests; a real encoder can take its place behind the same
// interface.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace camsim {

// One coded picture as a camera would send it.
struct VideoFrame {
    // MPEG-4 Visual elementary-stream bytes of one picture. An intra picture
    // starts with its group-of-VOP header (00 00 01 B3 ...), then the VOP;
    // a predicted picture is the bare VOP (00 00 01 B6 ...). Sequence headers
    // (VOS, VO, VOL) are not part of a frame; see VideoSource::sequenceHeader.
    std::vector<uint8_t> data;
    bool intra = false;
    // Presentation time in milliseconds since the source started.
    uint32_t timeStampMs = 0;
};

class VideoSource {
public:
    virtual ~VideoSource() = default;
    // Produces the next picture; false when the source has nothing more.
    virtual bool nextFrame(VideoFrame& frame) = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual int frameRate() const = 0;
    // The VOS/VO/VOL headers of the stream, for protocols that send them;
    // empty when the source has none of its own.
    virtual std::vector<uint8_t> sequenceHeader() const { return {}; }
};

// Pictures with valid start codes and filler, no real picture content:
// an intra picture every gopLength frames, sizes fixed per kind.
struct SyntheticVideoOptions {
    int width = 720;
    int height = 480;
    int frameRate = 30;
    int gopLength = 15;               // 1 = intra pictures only
    std::size_t intraSize = 20000;    // bytes per intra picture (at least 16)
    std::size_t predictedSize = 4000; // bytes per predicted picture (at least 8)
    int frameLimit = -1;              // frames before the source ends; -1 = endless
};

class SyntheticVideoSource final : public VideoSource {
public:
    explicit SyntheticVideoSource(const SyntheticVideoOptions& options = {});
    bool nextFrame(VideoFrame& frame) override;
    int width() const override { return options_.width; }
    int height() const override { return options_.height; }
    int frameRate() const override { return options_.frameRate; }

    // Helpers for tests that want single pictures of a known form.
    static std::vector<uint8_t> makeIntra(std::size_t size, uint8_t fill = 0x5A);
    static std::vector<uint8_t> makePredicted(std::size_t size, uint8_t fill = 0xA5);

private:
    SyntheticVideoOptions options_;
    int64_t index_ = 0;
    std::vector<uint8_t> intra_; // made once, copied per frame
    std::vector<uint8_t> predicted_;
};

} // namespace camsim
