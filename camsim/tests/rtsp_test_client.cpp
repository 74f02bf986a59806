#include "rtsp_test_client.h"

#include "platform/libav_owners.h"

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

namespace camsim::test {

namespace {

using Clock = std::chrono::steady_clock;

int interruptAtDeadline(void* deadline) { return Clock::now() > *static_cast<Clock::time_point*>(deadline) ? 1 : 0; }

std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// Keeps the luma in studio range, as the scene is drawn (JPEG pictures are
// full range).
void keepLuma(const AVFrame* frame, RtspPicture& picture) {
    picture.width = frame->width;
    picture.height = frame->height;
    picture.luma.resize(static_cast<std::size_t>(frame->width) * static_cast<std::size_t>(frame->height));
    const bool fullRange = frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P ||
                           frame->format == AV_PIX_FMT_YUVJ422P || frame->format == AV_PIX_FMT_YUVJ444P;
    for (int y = 0; y < frame->height; ++y) {
        const uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
        uint8_t* out = picture.luma.data() + static_cast<std::ptrdiff_t>(y) * frame->width;
        for (int x = 0; x < frame->width; ++x)
            out[x] = fullRange ? static_cast<uint8_t>(16 + (row[x] * 219 + 127) / 255) : row[x];
    }
}

} // namespace

RtspProbe probeRtsp(const std::string& url, int timeoutMs, int pictures) {
    RtspProbe probe;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    AVFormatContext* raw = avformat_alloc_context();
    raw->interrupt_callback.callback = interruptAtDeadline;
    raw->interrupt_callback.opaque = &deadline;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "timeout", std::to_string(static_cast<int64_t>(timeoutMs) * 1000).c_str(), 0);
    probe.error = avformat_open_input(&raw, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (probe.error < 0) {
        probe.errorText = errorText(probe.error);
        return probe; // avformat_open_input freed the context
    }
    platform::av::InputContextPtr input(raw);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        probe.streams.push_back(avcodec_get_name(input->streams[i]->codecpar->codec_id));
    }
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = video >= 0 ? avcodec_find_decoder(input->streams[video]->codecpar->codec_id) : nullptr;
    if (codec == nullptr) {
        probe.error = AVERROR_DECODER_NOT_FOUND;
        probe.errorText = "no video stream to decode";
        return probe;
    }
    platform::av::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(decoder.get(), input->streams[video]->codecpar);
    if ((probe.error = avcodec_open2(decoder.get(), codec, nullptr)) < 0) {
        probe.errorText = errorText(probe.error);
        return probe;
    }
    platform::av::PacketPtr packet(av_packet_alloc());
    platform::av::FramePtr frame(av_frame_alloc());
    while (probe.picturesDecoded < pictures) {
        if ((probe.error = av_read_frame(input.get(), packet.get())) < 0) {
            probe.errorText = errorText(probe.error);
            return probe;
        }
        if (packet->stream_index == video) {
            probe.largestPacket = std::max(probe.largestPacket, static_cast<std::size_t>(packet->size));
        }
        if (packet->stream_index == video && avcodec_send_packet(decoder.get(), packet.get()) >= 0) {
            while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
                if (++probe.picturesDecoded == pictures) keepLuma(frame.get(), probe.picture);
            }
        }
        av_packet_unref(packet.get());
    }
    probe.error = 0;
    return probe;
}

std::string withCredentials(const std::string& url, const std::string& user, const std::string& password) {
    const std::string scheme = "rtsp://";
    return scheme + user + ":" + password + "@" + url.substr(scheme.size());
}

double meanLumaDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / static_cast<double>(a.size());
}

} // namespace camsim::test
