// libavcodec's objects as owners that free them with their own functions.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

namespace recorder {

struct AvFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(AVBSFContext* b) const { av_bsf_free(&b); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, AvFree>;
using FramePtr = std::unique_ptr<AVFrame, AvFree>;
using PacketPtr = std::unique_ptr<AVPacket, AvFree>;
using FilterPtr = std::unique_ptr<AVBSFContext, AvFree>;

} // namespace recorder
