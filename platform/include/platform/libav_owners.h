// One owner for each kind of libav object the program holds: unique_ptrs
// that free it with libav's own function, whoever holds it (decoder,
// recorder, RTSP transport, playback, simulator).
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace platform::av {

struct Free {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(AVBSFContext* b) const { av_bsf_free(&b); }
    void operator()(SwsContext* s) const { sws_freeContext(s); }
    void operator()(SwrContext* s) const { swr_free(&s); }
    // A custom I/O context and its buffer, which libav may have replaced.
    void operator()(AVIOContext* io) const {
        if (io != nullptr) av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// An input context opened with avformat_open_input (or allocated for it).
struct CloseInput {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

// An output context and the custom I/O context it writes through, which
// avformat_free_context leaves alone.
struct FreeOutput {
    void operator()(AVFormatContext* c) const {
        if (c != nullptr) Free{}(c->pb);
        avformat_free_context(c);
    }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, Free>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, Free>;
using FramePtr = std::unique_ptr<AVFrame, Free>;
using PacketPtr = std::unique_ptr<AVPacket, Free>;
using BitstreamFilterPtr = std::unique_ptr<AVBSFContext, Free>;
using ScalerPtr = std::unique_ptr<SwsContext, Free>;
using ResamplerPtr = std::unique_ptr<SwrContext, Free>;
using IoContextPtr = std::unique_ptr<AVIOContext, Free>;
using InputContextPtr = std::unique_ptr<AVFormatContext, CloseInput>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, FreeOutput>;

} // namespace platform::av
