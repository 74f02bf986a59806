#include "decoder/video_decoder.h"

#include "planar_yuv_to_bgra.h"

#include "platform/libav_log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cstring>
#include <thread>

namespace decoder {

namespace {

AVPixelFormat studioRangeTwin(AVPixelFormat format, bool& fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
    default: return format;
    }
}

// Bigger frames than any camera sends are refused before they are copied.
constexpr std::size_t kMaxFrameBytes = 16 * 1024 * 1024;
constexpr int kMaxSide = 8191; // 13-bit MPEG-4 picture sizes
// Pictures up to this many pixels (2560 x 1600) decode on the calling
// thread: one picture in, the same picture out. One core decodes a
// 1920 x 1080 H.264 picture in about 5 ms, and a frame-threaded decoder
// hands each picture out one call later, a whole picture interval of delay
// on the screen (40 ms at 25/s) and a fifth more CPU. Only larger pictures
// (4K) need a second core at camera rates.
constexpr int64_t kSingleThreadPixels = 2560 * 1600;
constexpr int kMaxThreads = 2;

AVCodecID codecId(DecoderCodec codec) {
    switch (codec) {
    case kDecoderCodecMpeg4: return AV_CODEC_ID_MPEG4;
    case kDecoderCodecH264: return AV_CODEC_ID_H264;
    case kDecoderCodecH265: return AV_CODEC_ID_HEVC;
    case kDecoderCodecJpeg: return AV_CODEC_ID_MJPEG;
    }
    return AV_CODEC_ID_NONE;
}

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

std::unique_ptr<VideoDecoder> VideoDecoder::create(DecoderCodec codec) {
    if (codecId(codec) == AV_CODEC_ID_NONE) return nullptr;
    // Damaged streams make libavcodec complain at error level, hundreds of
    // times a second: the host program's diagnostics decide what is shown.
    platform::routeLibavLog();
    std::unique_ptr<VideoDecoder> d(new (std::nothrow) VideoDecoder(codec));
    if (!d) return nullptr;
    d->frame_.reset(av_frame_alloc());
    d->ready_.reset(av_frame_alloc());
    d->packet_.reset(av_packet_alloc());
    d->context_ = d->openContext(1);
    if (!d->frame_ || !d->ready_ || !d->packet_ || !d->context_) return nullptr;
    return d;
}

VideoDecoder::~VideoDecoder() = default;

int VideoDecoder::threadCount() const { return context_ ? context_->thread_count : 0; }

VideoDecoder::Context VideoDecoder::openContext(int threads) const {
    const AVCodec* codec = avcodec_find_decoder(codecId(codec_));
    if (codec == nullptr) return nullptr;
    Context context(avcodec_alloc_context3(codec));
    if (!context) return nullptr;
    context->thread_count = threads;
    context->thread_type = threads > 1 ? FF_THREAD_FRAME : 0;
    if (threads == 1) context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    // A stream whose header claims a picture far larger than any handed out
    // is refused as the header is read, before libavcodec allocates pictures
    // and tables for it. libavcodec checks its own buffers with rows padded
    // to its alignment, so the limit leaves room above the largest picture;
    // convert() refuses what lies between.
    const std::size_t limit = codec_ == kDecoderCodecMpeg4 ? kMaxPictureBytes : kMaxCodecPictureBytes;
    context->max_pixels = static_cast<int64_t>(2 * limit / kBytesPerPixel);
    if (avcodec_open2(context.get(), codec, nullptr) != 0) return nullptr;
    return context;
}

bool VideoDecoder::send(AVCodecContext& context, std::size_t length, int64_t time) {
    av_packet_unref(packet_.get());
    packet_->data = input_.data();
    packet_->size = static_cast<int>(length);
    packet_->pts = time == kNoTime ? AV_NOPTS_VALUE : time;
    const bool ok = avcodec_send_packet(&context, packet_.get()) >= 0;
    packet_->data = nullptr;
    packet_->size = 0;
    return ok;
}

bool VideoDecoder::receive(AVCodecContext& context) {
    bool got = false;
    for (;;) {
        av_frame_unref(frame_.get());
        if (avcodec_receive_frame(&context, frame_.get()) < 0) break;
        if (frame_->width <= 0 || frame_->height <= 0) continue;
        // Several pictures from one frame: the newest wins.
        av_frame_unref(ready_.get());
        av_frame_move_ref(ready_.get(), frame_.get());
        got = true;
    }
    av_frame_unref(frame_.get());
    return got;
}

void VideoDecoder::considerThreads(std::size_t length, int64_t time) {
    threadsConsidered_ = true;
    if (codec_ == kDecoderCodecMpeg4 || codec_ == kDecoderCodecJpeg) return;
    if (static_cast<int64_t>(source_.width) * source_.height <= kSingleThreadPixels) return;
    const int threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxThreads);
    if (threads < 2) return;
    Context threaded = openContext(threads);
    // The first frame is a key picture (the caller starts there), so the new
    // context begins from it; its picture was already handed out.
    if (!threaded || !send(*threaded, length, time)) return;
    context_ = std::move(threaded);
}

bool VideoDecoder::decodeFrame(int width, int height, const uint8_t* data, std::size_t length, Size* size) {
    return decodeFrame(width, height, data, length, kNoTime, size);
}

bool VideoDecoder::decodeFrame(int width, int height, const uint8_t* data, std::size_t length, int64_t time,
                               Size* size) {
    av_frame_unref(ready_.get());
    readySize_ = {};
    if (data == nullptr || length == 0 || length > kMaxFrameBytes) return false;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return false;

    // The decoder may read a little past the end of its input, so the data
    // goes into a buffer with zeroed padding; it only grows.
    if (input_.size() < length + AV_INPUT_BUFFER_PADDING_SIZE) input_.resize(length + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(input_.data(), data, length);
    std::memset(input_.data() + length, 0, AV_INPUT_BUFFER_PADDING_SIZE);

    if (!send(*context_, length, time)) return false;
    if (!receive(*context_)) return false;
    source_ = {ready_->width, ready_->height};
    if (!threadsConsidered_) considerThreads(length, time);
    readySize_ = targetSize(width, height);
    if (readySize_.width == 0) {
        av_frame_unref(ready_.get());
        return false;
    }
    pictureTime_ = ready_->pts == AV_NOPTS_VALUE ? kNoTime : ready_->pts;
    if (size != nullptr) *size = readySize_;
    return true;
}

bool VideoDecoder::writePicture(uint8_t* pixels, std::size_t stride) {
    if (pixels == nullptr || readySize_.width == 0 || ready_->width <= 0) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(readySize_.width) * kBytesPerPixel;
    if (stride < rowBytes || stride > static_cast<std::size_t>(INT32_MAX)) return false;
    if (convert(*ready_, readySize_.width, readySize_.height, pixels, static_cast<int>(stride), true)) return true;
    // A scaler that may write past the last row goes through the own buffer.
    const std::size_t imageSize = rowBytes * static_cast<std::size_t>(readySize_.height);
    const std::size_t bytes = kPictureHeaderSize + imageSize + kScalerOverrunBytes;
    if (picture_.size() < bytes) picture_.resize(bytes);
    uint8_t* own = picture_.data() + kPictureHeaderSize;
    if (!convert(*ready_, readySize_.width, readySize_.height, own, static_cast<int>(rowBytes))) return false;
    for (int y = 0; y < readySize_.height; ++y)
        std::memcpy(pixels + stride * static_cast<std::size_t>(y), own + rowBytes * static_cast<std::size_t>(y),
                    rowBytes);
    return true;
}

VideoDecoder::Range VideoDecoder::writePlanes(uint8_t* y, int yStride, uint8_t* u, uint8_t* v, int uvStride) {
    if (readySize_.width == 0 || ready_->width <= 0) return Range::None;
    bool fullRange = ready_->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = studioRangeTwin(static_cast<AVPixelFormat>(ready_->format), fullRange);
    const Planar420 target{y, yStride, u, v, uvStride};
    if (format != AV_PIX_FMT_YUV420P || !planarYuvTo420(*ready_, readySize_.width, readySize_.height, target))
        return Range::None;
    return fullRange ? Range::Full : Range::Studio;
}

const uint8_t* VideoDecoder::decode(int width, int height, const uint8_t* data, std::size_t length, int64_t time) {
    Size size;
    if (!decodeFrame(width, height, data, length, time, &size)) return nullptr;
    const std::size_t stride = static_cast<std::size_t>(size.width) * kBytesPerPixel;
    const std::size_t imageSize = stride * static_cast<std::size_t>(size.height);
    const std::size_t bytes = kPictureHeaderSize + imageSize + kScalerOverrunBytes;
    if (picture_.size() < bytes) picture_.resize(bytes);
    if (!convert(*ready_, size.width, size.height, picture_.data() + kPictureHeaderSize, static_cast<int>(stride)))
        return nullptr;
    writeHeader(picture_.data(), size.width, size.height, static_cast<uint32_t>(imageSize));
    return picture_.data();
}

void VideoDecoder::restart() {
    avcodec_flush_buffers(context_.get());
    av_frame_unref(ready_.get());
    readySize_ = {};
    pictureTime_ = kNoTime;
}

VideoDecoder::Size VideoDecoder::targetSize(int width, int height) const {
    int w = ready_->width;
    int h = ready_->height;
    std::size_t limit = kMaxPictureBytes;
    if (codec_ == kDecoderCodecMpeg4) {
        if (width > 0 && height > 0) {
            w = width;
            h = height;
        }
    } else {
        limit = kMaxCodecPictureBytes;
        // Down into the box, aspect kept; never up.
        if (width > 0 && height > 0 && (w > width || h > height)) {
            const double scale = std::min(static_cast<double>(width) / w, static_cast<double>(height) / h);
            w = std::max(1, static_cast<int>(w * scale));
            h = std::max(1, static_cast<int>(h * scale));
        }
    }
    const std::size_t imageSize = static_cast<std::size_t>(w) * kBytesPerPixel * static_cast<std::size_t>(h);
    if (imageSize > limit) return {};
    return {w, h};
}

bool VideoDecoder::convert(const AVFrame& frame, int width, int height, uint8_t* pixels, int stride, bool exactly) {
    // JPEG's full-range formats are named by their studio-range twin and
    // the range, which spares the scaler's warning on every picture.
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = studioRangeTwin(static_cast<AVPixelFormat>(frame.format), fullRange);
    if (exactly) return scaler_.scaleExactly(frame, format, fullRange, width, height, pixels, stride);
    return scaler_.scale(frame, format, fullRange, width, height, pixels, stride);
}

} // namespace decoder
