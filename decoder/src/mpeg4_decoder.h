// One MPEG-4 Visual decoder instance: frames in, 32-bit top-down pictures out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace decoder {

class Mpeg4Decoder {
public:
    // Null when libavcodec has no MPEG-4 decoder or cannot open one.
    static std::unique_ptr<Mpeg4Decoder> create();
    ~Mpeg4Decoder();
    Mpeg4Decoder(const Mpeg4Decoder&) = delete;
    Mpeg4Decoder& operator=(const Mpeg4Decoder&) = delete;

    // Decodes one frame's data; returns header + pixels, or nullptr when no
    // picture is ready, the data is unusable or the picture would be too big.
    const uint8_t* decode(int width, int height, const uint8_t* data, std::size_t length);

private:
    Mpeg4Decoder() = default;
    bool open();
    bool convert(const AVFrame& frame, int width, int height);

    struct CodecDeleter {
        void operator()(AVCodecContext* c) const;
    };
    struct FrameDeleter {
        void operator()(AVFrame* f) const;
    };
    struct PacketDeleter {
        void operator()(AVPacket* p) const;
    };
    struct ScalerDeleter {
        void operator()(SwsContext* s) const;
    };

    std::unique_ptr<AVCodecContext, CodecDeleter> codec_;
    std::unique_ptr<AVFrame, FrameDeleter> frame_;
    std::unique_ptr<AVPacket, PacketDeleter> packet_;
    std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
    std::vector<uint8_t> input_;   // the frame data plus the zero padding the decoder reads past the end
    std::vector<uint8_t> picture_; // header + pixels, handed out
};

} // namespace decoder
