#include "recorder/snapshot.h"

#include <filesystem>
#include <memory>

#include "recorder/capture_names.h"
#include "recorder/new_file.h"

#include "platform/libav_owners.h"

#include "jpeg_coding.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace recorder {

namespace {

using platform::av::CodecContextPtr;
using platform::av::FramePtr;
using platform::av::PacketPtr;

// The largest picture a camera sends (8K), well inside what JPEG can hold.
constexpr int kLargestSide = 8192;
// JPEG quality as libavcodec's quantiser scale: 2 is nearly lossless.
constexpr int kQuantiser = 2;

AVPixelFormat formatOf(int bitCount) {
    switch (bitCount) {
    case 16: return AV_PIX_FMT_RGB565LE;
    case 24: return AV_PIX_FMT_BGR24;
    case 32: return AV_PIX_FMT_BGR0;
    default: return AV_PIX_FMT_NONE;
    }
}

} // namespace

std::optional<std::vector<uint8_t>> codeJpeg(const uint8_t* const planes[4], const int strides[4], AVPixelFormat format,
                                             bool fullRange, int width, int height, std::string& error) {
    if (format == AV_PIX_FMT_NONE || planes[0] == nullptr || width <= 0 || height <= 0 || width > kLargestSide ||
        height > kLargestSide) {
        error = "no picture to save";
        return std::nullopt;
    }
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    CodecContextPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!context || !frame || !packet) {
        error = "no JPEG encoder";
        return std::nullopt;
    }
    context->width = width;
    context->height = height;
    // Full-range YUV, as JPEG files hold it.
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->color_range = AVCOL_RANGE_JPEG;
    context->time_base = AVRational{1, 25};
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        error = "the JPEG encoder refused the picture";
        return std::nullopt;
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->color_range = AVCOL_RANGE_JPEG;
    frame->width = width;
    frame->height = height;
    frame->quality = FF_QP2LAMBDA * kQuantiser;
    // Full-range output: swscale's default for YUV is the video range.
    platform::av::ScalerPtr scaler(sws_alloc_context());
    if (!scaler || av_frame_get_buffer(frame.get(), 0) < 0) {
        error = "out of memory";
        return std::nullopt;
    }
    SwsContext* s = scaler.get();
    av_opt_set_int(s, "srcw", width, 0);
    av_opt_set_int(s, "srch", height, 0);
    av_opt_set_int(s, "src_format", format, 0);
    av_opt_set_int(s, "dstw", width, 0);
    av_opt_set_int(s, "dsth", height, 0);
    av_opt_set_int(s, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(s, "src_range", fullRange ? 1 : 0, 0);
    av_opt_set_int(s, "dst_range", 1, 0);
    av_opt_set_int(s, "sws_flags", SWS_BICUBIC, 0);
    if (sws_init_context(s, nullptr, nullptr) < 0) {
        error = "the picture could not be converted";
        return std::nullopt;
    }
    sws_scale(scaler.get(), planes, strides, 0, height, frame->data, frame->linesize);
    if (avcodec_send_frame(context.get(), frame.get()) < 0 || avcodec_receive_packet(context.get(), packet.get()) < 0) {
        error = "the picture could not be coded as JPEG";
        return std::nullopt;
    }
    return std::vector<uint8_t>(packet->data, packet->data + packet->size);
}

std::optional<std::vector<uint8_t>> encodeJpeg(const platform::PictureView& picture, std::string& error) {
    if (picture.pixels == nullptr || picture.width <= 0 ||
        picture.stride < platform::bitmapStride(picture.width, picture.bitCount)) {
        error = "no picture to save";
        return std::nullopt;
    }
    const uint8_t* const planes[4] = {picture.pixels, nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(picture.stride), 0, 0, 0};
    return codeJpeg(planes, strides, formatOf(picture.bitCount), true, picture.width, picture.height, error);
}

bool checkJpeg(std::span<const uint8_t> jpeg, int minWidth, int minHeight, std::string& error) {
    // A picture cut short lacks its end marker (a camera may pad after it).
    std::size_t end = jpeg.size();
    while (end > 0 && jpeg[end - 1] == 0) --end;
    if (end < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        error = "is no JPEG picture";
        return false;
    }
    if (jpeg[end - 2] != 0xFF || jpeg[end - 1] != 0xD9) {
        error = "is cut short";
        return false;
    }
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    CodecContextPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!context || !frame || !packet || av_new_packet(packet.get(), static_cast<int>(end)) < 0) {
        error = "cannot be decoded here";
        return false;
    }
    // Any damage the decoder notices fails the decode.
    context->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM | AV_EF_BUFFER;
    context->thread_count = 1;
    std::copy(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(end), packet->data);
    if (avcodec_open2(context.get(), codec, nullptr) < 0 || avcodec_send_packet(context.get(), packet.get()) < 0 ||
        avcodec_receive_frame(context.get(), frame.get()) < 0 || frame->decode_error_flags != 0 ||
        (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0) {
        error = "does not decode as a whole picture";
        return false;
    }
    if (frame->width < minWidth || frame->height < minHeight) {
        error = "is " + std::to_string(frame->width) + "x" + std::to_string(frame->height) + ", smaller than the " +
                std::to_string(minWidth) + "x" + std::to_string(minHeight) + " stream";
        return false;
    }
    return true;
}

std::optional<std::string> saveSnapshot(std::span<const uint8_t> jpeg, const std::string& folder,
                                        const std::string& cameraName, std::chrono::system_clock::time_point time,
                                        std::string& error) {
    return writeNewFile((std::filesystem::path(folder) / captureFileName(cameraName, time, "jpg")).string(), jpeg,
                        error);
}

} // namespace recorder
