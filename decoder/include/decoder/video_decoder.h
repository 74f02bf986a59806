// One decoder instance: frames of one codec in, 32-bit top-down pictures out.
#pragma once

#include "decoder/contract.h"
#include "decoder/picture_scaler.h"
#include "platform/libav_owners.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace decoder {

class VideoDecoder {
public:
    // Null when libavcodec has no decoder for the codec or cannot open one.
    static std::unique_ptr<VideoDecoder> create(DecoderCodec codec);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Decodes one frame's data; returns header + pixels, or nullptr when no
    // picture is ready, the data is unusable or the picture would be too big.
    const uint8_t* decode(int width, int height, const uint8_t* data, std::size_t length) {
        return decode(width, height, data, length, kNoTime);
    }
    // The same with the frame's time, which comes back with the picture it
    // makes: pictureTime() tells the time of the picture returned. A
    // frame-threaded decoder hands a picture out a call or more after its
    // frame, so the time is how a caller tells which picture it got.
    static constexpr int64_t kNoTime = INT64_MIN;
    const uint8_t* decode(int width, int height, const uint8_t* data, std::size_t length, int64_t time);
    int64_t pictureTime() const { return pictureTime_; }

    struct Size {
        int width = 0;
        int height = 0;
    };
    // decode() in two steps, so that the picture goes straight into a buffer
    // the caller lends, sized after the first step: decodeFrame keeps the
    // newest picture the frame makes and tells the size it will be written
    // at (the caller's width and height count as for decode); false when no
    // picture is ready or it would be too big. writePicture then writes it as
    // BGRA rows `stride` bytes apart (at least width * 4), nothing past the
    // last row's pixels; false when there is none or it cannot be converted.
    bool decodeFrame(int width, int height, const uint8_t* data, std::size_t length, Size* size);
    bool writePicture(uint8_t* pixels, std::size_t stride);
    // Or as 4:2:0 planes at the same size (see M_XCWritePlanes): the range
    // written, or None when the picture is not 4:2:0 or a stride too small.
    enum class Range { None, Studio, Full };
    Range writePlanes(uint8_t* y, int yStride, uint8_t* u, uint8_t* v, int uvStride);
    // Forgets every frame given so far and every picture not yet handed out
    // (a jump to another place in a recording); the next frame should be a
    // key picture.
    void restart();

    // Threads the codec context decodes with (tests and benchmarks look).
    int threadCount() const;

    // The latest decoded picture's own size, before scaling; 0 x 0 before
    // the first.
    Size sourceSize() const { return source_; }

private:
    explicit VideoDecoder(DecoderCodec codec) : codec_(codec) {}
    using Context = platform::av::CodecContextPtr;

    Context openContext(int threads) const;
    bool decodeFrame(int width, int height, const uint8_t* data, std::size_t length, int64_t time, Size* size);
    bool send(AVCodecContext& context, std::size_t length, int64_t time);
    // Takes every picture the context has ready and keeps the newest in
    // ready_; true when there was one.
    bool receive(AVCodecContext& context);
    // The size ready_ is written at for the caller's width and height; 0 x 0
    // when it would be too big.
    Size targetSize(int width, int height) const;
    // exactly: with a scaler that writes nothing past the last row's pixels,
    // or not at all.
    bool convert(const AVFrame& frame, int width, int height, uint8_t* pixels, int stride, bool exactly = false);
    // Large pictures go to a frame-threaded context from the first one on.
    void considerThreads(std::size_t length, int64_t time);

    const DecoderCodec codec_;
    Context context_;
    bool threadsConsidered_ = false;
    Size source_; // of the latest decoded picture
    int64_t pictureTime_ = kNoTime;
    platform::av::FramePtr frame_;
    platform::av::FramePtr ready_; // the picture decodeFrame told of
    Size readySize_;               // and the size it is written at
    platform::av::PacketPtr packet_;
    PictureScaler scaler_;
    std::vector<uint8_t> input_;   // the frame data plus the zero padding the decoder reads past the end
    std::vector<uint8_t> picture_; // header + pixels, handed out; also the way round for a scaler that overruns
};

} // namespace decoder
