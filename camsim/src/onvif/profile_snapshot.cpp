// A profile's snapshot: the scene the camera head looks at now, drawn at the
// profile's size and coded as JPEG with libavcodec.
#include "camsim/onvif_rtsp_streams.h"
#include "camsim/scene_renderer.h"

#include "platform/libav_owners.h"

namespace camsim {

namespace {

// The scene's studio-range samples stretched to the full range JPEG holds.
uint8_t fullRange(uint8_t v, bool luma) {
    const int low = 16;
    const int span = luma ? 219 : 224;
    const int full = luma ? (v - low) * 255 / span : 128 + (v - 128) * 255 / span;
    return static_cast<uint8_t>(full < 0 ? 0 : (full > 255 ? 255 : full));
}

std::string jpegOf(const YuvImage& image) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    platform::av::CodecContextPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
    platform::av::FramePtr frame(av_frame_alloc());
    platform::av::PacketPtr packet(av_packet_alloc());
    if (!context || !frame || !packet) return {};
    context->width = image.width();
    context->height = image.height();
    context->pix_fmt = AV_PIX_FMT_YUVJ420P;
    context->time_base = AVRational{1, 25};
    frame->format = AV_PIX_FMT_YUVJ420P;
    frame->width = image.width();
    frame->height = image.height();
    if (avcodec_open2(context.get(), codec, nullptr) < 0 || av_frame_get_buffer(frame.get(), 0) < 0) return {};
    for (int p = 0; p < 3; ++p) {
        const int rows = p == 0 ? image.height() : image.height() / 2;
        const int columns = image.stride(p);
        for (int y = 0; y < rows; ++y) {
            const uint8_t* from = image.plane(p) + static_cast<std::ptrdiff_t>(y) * columns;
            uint8_t* to = frame->data[p] + static_cast<std::ptrdiff_t>(y) * frame->linesize[p];
            for (int x = 0; x < columns; ++x) to[x] = fullRange(from[x], p == 0);
        }
    }
    if (avcodec_send_frame(context.get(), frame.get()) < 0 || avcodec_receive_packet(context.get(), packet.get()) < 0)
        return {};
    return std::string(reinterpret_cast<const char*>(packet->data), static_cast<std::size_t>(packet->size));
}

} // namespace

std::string RtspProfileStreams::snapshot(std::size_t index, const OnvifProfile& profile) {
    if (index >= cameras_.size() || !head_) return {};
    std::lock_guard lock(snapshotLock_);
    SceneRenderer renderer(profile.width, profile.height, settings_.name, settings_.variant);
    YuvImage image(profile.width, profile.height);
    renderer.render(*head_, {}, image.picture());
    return jpegOf(image);
}

} // namespace camsim
