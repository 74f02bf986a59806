#include "mpeg4_decoder.h"

#include "decoder/contract.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace decoder {

namespace {

// Damaged streams make libavcodec complain at error level; the host program
// decides what it prints, so our messages are moved below the trace level.
constexpr int kQuietLogOffset = AV_LOG_TRACE + 8;
// Bigger frames than any camera sends are refused before they are copied.
constexpr std::size_t kMaxFrameBytes = 4 * 1024 * 1024;
constexpr int kMaxSide = 8191; // 13-bit picture sizes

void writeHeader(uint8_t* out, int width, int height, uint32_t imageSize) {
    PictureHeader h{};
    h.headerSize = static_cast<uint32_t>(kPictureHeaderSize);
    h.width = width;
    h.height = -height;
    h.planes = 1;
    h.bitCount = kBitsPerPixel;
    h.compression = 0;
    h.imageSize = imageSize;
    std::memcpy(out, &h, sizeof h);
}

} // namespace

void Mpeg4Decoder::CodecDeleter::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void Mpeg4Decoder::FrameDeleter::operator()(AVFrame* f) const { av_frame_free(&f); }
void Mpeg4Decoder::PacketDeleter::operator()(AVPacket* p) const { av_packet_free(&p); }
void Mpeg4Decoder::ScalerDeleter::operator()(SwsContext* s) const { sws_freeContext(s); }

std::unique_ptr<Mpeg4Decoder> Mpeg4Decoder::create() {
    std::unique_ptr<Mpeg4Decoder> d(new (std::nothrow) Mpeg4Decoder());
    if (!d || !d->open()) return nullptr;
    return d;
}

Mpeg4Decoder::~Mpeg4Decoder() = default;

bool Mpeg4Decoder::open() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    if (codec == nullptr) return false;
    codec_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!codec_ || !frame_ || !packet_) return false;
    codec_->log_level_offset = kQuietLogOffset;
    // One thread and low delay: a picture comes back from the call that
    // carried its frame, which is what the caller's render loop expects.
    codec_->thread_count = 1;
    codec_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    // A stream whose header claims a picture far larger than the picture
    // buffer holds is refused as the header is read, before libavcodec
    // allocates pictures and tables for it (some 400 MB for 8191 x 8191).
    // libavcodec checks its own buffers with rows padded to its alignment, so
    // the limit leaves room above the largest picture handed out (720 x 576);
    // convert() refuses what lies between.
    codec_->max_pixels = static_cast<int64_t>(2 * kMaxPictureBytes / kBytesPerPixel);
    return avcodec_open2(codec_.get(), codec, nullptr) == 0;
}

const uint8_t* Mpeg4Decoder::decode(int width, int height, const uint8_t* data, std::size_t length) {
    if (data == nullptr || length == 0 || length > kMaxFrameBytes) return nullptr;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return nullptr;

    // The decoder may read a little past the end of its input, so the data
    // goes into a buffer with zeroed padding; it only grows.
    if (input_.size() < length + AV_INPUT_BUFFER_PADDING_SIZE) input_.resize(length + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(input_.data(), data, length);
    std::memset(input_.data() + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);

    av_packet_unref(packet_.get());
    packet_->data = input_.data();
    packet_->size = static_cast<int>(length);

    if (avcodec_send_packet(codec_.get(), packet_.get()) < 0) {
        packet_->data = nullptr;
        packet_->size = 0;
        return nullptr;
    }
    packet_->data = nullptr;
    packet_->size = 0;

    bool got = false;
    for (;;) {
        av_frame_unref(frame_.get());
        if (avcodec_receive_frame(codec_.get(), frame_.get()) < 0) break;
        // Several pictures from one frame: the newest wins.
        const int w = width > 0 && height > 0 ? width : frame_->width;
        const int h = width > 0 && height > 0 ? height : frame_->height;
        if (convert(*frame_, w, h)) got = true;
    }
    av_frame_unref(frame_.get());
    return got ? picture_.data() : nullptr;
}

bool Mpeg4Decoder::convert(const AVFrame& frame, int width, int height) {
    if (frame.width <= 0 || frame.height <= 0 || width <= 0 || height <= 0) return false;
    const std::size_t stride = static_cast<std::size_t>(width) * kBytesPerPixel;
    const std::size_t imageSize = stride * static_cast<std::size_t>(height);
    if (imageSize > kMaxPictureBytes) return false;

    scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                       static_cast<AVPixelFormat>(frame.format), width, height, AV_PIX_FMT_BGRA,
                                       SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) return false;

    if (picture_.size() < kPictureHeaderSize + imageSize) picture_.resize(kPictureHeaderSize + imageSize);
    uint8_t* pixels = picture_.data() + kPictureHeaderSize;
    uint8_t* dst[4] = {pixels, nullptr, nullptr, nullptr};
    const int dstStride[4] = {static_cast<int>(stride), 0, 0, 0};
    const int rows = sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride);
    if (rows != height) return false;
    writeHeader(picture_.data(), width, height, static_cast<uint32_t>(imageSize));
    return true;
}

} // namespace decoder
