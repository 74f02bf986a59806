#include "video_parameters.h"

#include <cstring>
#include <memory>

#include "platform/libav_owners.h"

extern "C" {
#include <libavutil/mem.h>
}

namespace recorder {

namespace {

using platform::av::CodecContextPtr;
using platform::av::FramePtr;
using platform::av::PacketPtr;

AVCodecID codecOf(MediaKind kind) {
    switch (kind) {
    case MediaKind::Mpeg4: return AV_CODEC_ID_MPEG4;
    case MediaKind::H264: return AV_CODEC_ID_H264;
    case MediaKind::H265: return AV_CODEC_ID_HEVC;
    case MediaKind::Jpeg: return AV_CODEC_ID_MJPEG;
    case MediaKind::Audio: break;
    }
    return AV_CODEC_ID_NONE;
}

// A packet holding its own copy of the picture (the filter takes ownership).
PacketPtr packetOf(std::span<const uint8_t> picture) {
    PacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(picture.size())) < 0) return nullptr;
    std::memcpy(packet->data, picture.data(), picture.size());
    packet->flags |= AV_PKT_FLAG_KEY;
    return packet;
}

// The picture size, from decoding the picture once.
bool readPictureSize(AVCodecID id, std::span<const uint8_t> picture, int& width, int& height) {
    const AVCodec* codec = avcodec_find_decoder(id);
    if (codec == nullptr) return false;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) return false;
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;
    PacketPtr packet = packetOf(picture);
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame) return false;
    // Draining at once hands out a picture a decoder would otherwise hold
    // back for reordering.
    if (avcodec_send_packet(context.get(), packet.get()) < 0) return false;
    avcodec_send_packet(context.get(), nullptr);
    if (avcodec_receive_frame(context.get(), frame.get()) < 0) return false;
    width = frame->width;
    height = frame->height;
    return width > 0 && height > 0;
}

// The parameter sets (H.264, H.265) or configuration headers (MPEG-4) in
// front of the picture, as the muxer's codec private data.
bool readParameterSets(AVCodecID id, std::span<const uint8_t> picture, AVCodecParameters& parameters) {
    const AVBitStreamFilter* extract = av_bsf_get_by_name("extract_extradata");
    AVBSFContext* raw = nullptr;
    if (extract == nullptr || av_bsf_alloc(extract, &raw) < 0) return false;
    platform::av::BitstreamFilterPtr filter(raw);
    filter->par_in->codec_id = id;
    filter->par_in->codec_type = AVMEDIA_TYPE_VIDEO;
    if (av_bsf_init(filter.get()) < 0) return false;
    PacketPtr packet = packetOf(picture);
    if (!packet || av_bsf_send_packet(filter.get(), packet.get()) < 0) return false;
    if (av_bsf_receive_packet(filter.get(), packet.get()) < 0) return false;
    std::size_t size = 0;
    const uint8_t* sets = av_packet_get_side_data(packet.get(), AV_PKT_DATA_NEW_EXTRADATA, &size);
    if (sets == nullptr || size == 0) return false;
    parameters.extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (parameters.extradata == nullptr) return false;
    std::memcpy(parameters.extradata, sets, size);
    parameters.extradata_size = static_cast<int>(size);
    return true;
}

} // namespace

bool describeVideo(MediaKind kind, std::span<const uint8_t> keyPicture, AVCodecParameters& parameters,
                   std::string& error) {
    const AVCodecID id = codecOf(kind);
    if (id == AV_CODEC_ID_NONE || keyPicture.empty()) {
        error = "not a video picture";
        return false;
    }
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = id;
    if (!readPictureSize(id, keyPicture, parameters.width, parameters.height)) {
        error = "the first picture could not be read";
        return false;
    }
    if (id != AV_CODEC_ID_MJPEG && !readParameterSets(id, keyPicture, parameters)) {
        error = "the first picture carries no parameter sets";
        return false;
    }
    return true;
}

} // namespace recorder
