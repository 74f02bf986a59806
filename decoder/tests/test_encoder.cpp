#include "test_encoder.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace decoder::test {

void RgbPicture::fillRect(int x, int y, int w, int h, Rgb c) {
    for (int row = y; row < y + h && row < height; ++row) {
        for (int col = x; col < x + w && col < width; ++col) {
            pixels[static_cast<std::size_t>(row) * width + col] = c;
        }
    }
}

RgbPicture quadrants(int width, int height) {
    RgbPicture p(width, height, {0, 0, 0});
    p.fillRect(0, 0, width / 2, height / 2, {255, 0, 0});
    p.fillRect(width / 2, 0, width - width / 2, height / 2, {0, 255, 0});
    p.fillRect(0, height / 2, width / 2, height - height / 2, {0, 0, 255});
    p.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, {255, 255, 255});
    return p;
}

TestEncoder::TestEncoder(int width, int height, int timeResolution, int gop, bool globalHeaders, int codecId) {
    const AVCodecID id = codecId == 0 ? AV_CODEC_ID_MPEG4 : static_cast<AVCodecID>(codecId);
    const AVCodec* codec = avcodec_find_encoder(id);
    if (codec == nullptr) return;
    codec_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr) return;
    codec_->width = width;
    codec_->height = height;
    codec_->pix_fmt = id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    // No look-ahead: each picture comes out of the call that took it.
    if (id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC) {
        av_opt_set(codec_->priv_data, "preset", "ultrafast", 0);
        av_opt_set(codec_->priv_data, "tune", "zerolatency", 0);
        if (id == AV_CODEC_ID_HEVC) av_opt_set(codec_->priv_data, "x265-params", "log-level=none", 0);
    }
    codec_->time_base = AVRational{1, timeResolution};
    step_ = timeResolution / 30 > 0 ? timeResolution / 30 : 1;
    codec_->gop_size = gop;
    codec_->max_b_frames = 0;
    codec_->thread_count = 1;
    codec_->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    if (globalHeaders) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    codec_->global_quality = FF_QP2LAMBDA * 3;
    if (avcodec_open2(codec_.get(), codec, nullptr) != 0) return;
    if (codec_->extradata != nullptr) headers_.assign(codec_->extradata, codec_->extradata + codec_->extradata_size);
    frame_->format = codec_->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    ok_ = av_frame_get_buffer(frame_.get(), 0) == 0;
}

EncodedFrame TestEncoder::encode(const RgbPicture& picture) {
    EncodedFrame out;
    if (!ok_ || av_frame_make_writable(frame_.get()) != 0) return out;
    const platform::av::ScalerPtr sws(sws_getContext(picture.width, picture.height, AV_PIX_FMT_RGB24, codec_->width,
                                                     codec_->height, codec_->pix_fmt, SWS_POINT, nullptr, nullptr,
                                                     nullptr));
    if (!sws) return out;
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(picture.pixels.data())};
    const int srcStride[1] = {picture.width * 3};
    sws_scale(sws.get(), src, srcStride, 0, picture.height, frame_->data, frame_->linesize);
    frame_->pts = pts_;
    pts_ += step_;
    frame_->quality = codec_->global_quality;
    if (avcodec_send_frame(codec_.get(), frame_.get()) != 0) return out;
    while (avcodec_receive_packet(codec_.get(), packet_.get()) == 0) {
        out.data.assign(packet_->data, packet_->data + packet_->size);
        out.intra = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(packet_.get());
    }
    return out;
}

} // namespace decoder::test
