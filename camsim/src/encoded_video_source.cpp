#include "camsim/encoded_video_source.h"

#include "camsim/mpeg4_headers.h"
#include "platform/libav_owners.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstring>

namespace camsim {

namespace {

constexpr int kBarStep = 8; // pixels per frame

Yuv toYuv(PatternColour c) { return camsim::toYuv(Rgb{c.r, c.g, c.b}); }

struct Band {
    int top, bottom; // rows [top, bottom)
};

Band middleBand(int height) {
    // 16-row aligned, so the band never shares a macroblock row with two colours.
    const int top = std::max(0, (height / 2 - height / 10) / 16 * 16);
    const int bottom = std::min(height, top + std::max(16, (height / 5 + 15) / 16 * 16));
    return {top, bottom};
}

int barLeft(int width, int frameIndex) { return (frameIndex * kBarStep) % std::max(1, width); }
int barWidth(int width) { return std::max(16, width / 16); }

} // namespace

PatternColour EncodedVideoSource::patternColour(int width, int height, int frameIndex, int x, int y) {
    const Band band = middleBand(height);
    if (y >= band.top && y < band.bottom) {
        const int left = barLeft(width, frameIndex);
        const int dx = (x - left + width) % width; // the bar wraps round the right edge
        return dx < barWidth(width) ? PatternColour{0, 0, 0} : PatternColour{128, 128, 128};
    }
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!bottom) return right ? PatternColour{0, 255, 0} : PatternColour{255, 0, 0};
    return right ? PatternColour{255, 255, 255} : PatternColour{0, 0, 255};
}

struct EncodedVideoSource::Encoder {
    EncodedVideoOptions options;
    platform::av::CodecContextPtr codec;
    platform::av::FramePtr frame;
    platform::av::PacketPtr packet;
    int64_t index = 0;
    // The still part of the picture, copied into every frame before the bar.
    std::vector<uint8_t> background[3];

    bool open() {
        const AVCodec* mpeg4 = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        if (mpeg4 == nullptr) return false;
        codec.reset(avcodec_alloc_context3(mpeg4));
        frame.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        if (codec == nullptr || frame == nullptr || packet == nullptr) return false;
        codec->log_level_offset = AV_LOG_TRACE + 8; // keep the simulator's output clean
        codec->width = options.width;
        codec->height = options.height;
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        // One tick of the VOP clock per unit, so the VOP time fields have
        // exactly the width the layer header's resolution implies.
        codec->time_base = AVRational{1, options.timeResolution};
        codec->framerate = AVRational{options.frameRate, 1};
        codec->gop_size = options.gopLength;
        codec->max_b_frames = 0;
        codec->thread_count = 1;
        // Our own headers go in front of intra frames; the encoder's stay
        // out of the frames (and its version text out of the stream).
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
        codec->global_quality = FF_QP2LAMBDA * options.quantiser;
        if (avcodec_open2(codec.get(), mpeg4, nullptr) != 0) return false;
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = options.width;
        frame->height = options.height;
        if (av_frame_get_buffer(frame.get(), 0) != 0) return false;
        if (!options.painter) paintBackground();
        return true;
    }

    void paintBackground() {
        const int w = options.width, h = options.height;
        background[0].assign(static_cast<std::size_t>(w) * h, 0);
        background[1].assign(static_cast<std::size_t>(w / 2) * (h / 2), 0);
        background[2].assign(background[1].size(), 0);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                // The band is repainted for every frame, so frame 0 serves.
                const Yuv c = toYuv(patternColour(w, h, 0, x, y));
                background[0][static_cast<std::size_t>(y) * w + x] = c.y;
                if (y % 2 == 0 && x % 2 == 0) {
                    const std::size_t ci = static_cast<std::size_t>(y / 2) * (w / 2) + x / 2;
                    background[1][ci] = c.u;
                    background[2][ci] = c.v;
                }
            }
        }
    }

    void paintFrame(int frameIndex) {
        const int w = options.width, h = options.height;
        if (options.painter) {
            YuvPicture picture;
            for (int p = 0; p < 3; ++p) {
                picture.plane[p] = frame->data[p];
                picture.stride[p] = frame->linesize[p];
            }
            picture.width = w;
            picture.height = h;
            options.painter(frameIndex, picture);
            return;
        }
        for (int plane = 0; plane < 3; ++plane) {
            const int pw = plane == 0 ? w : w / 2;
            const int ph = plane == 0 ? h : h / 2;
            for (int y = 0; y < ph; ++y) {
                std::memcpy(frame->data[plane] + static_cast<std::ptrdiff_t>(y) * frame->linesize[plane],
                            background[plane].data() + static_cast<std::size_t>(y) * pw, static_cast<std::size_t>(pw));
            }
        }
        const Band band = middleBand(h);
        paintBand(frameIndex, band);
        if (options.texture > 0) paintTexture(frameIndex);
    }

    void paintBand(int frameIndex, Band band) {
        const int w = options.width, h = options.height;
        for (int y = band.top; y < band.bottom; ++y) {
            for (int x = 0; x < w; ++x) {
                const Yuv c = toYuv(patternColour(w, h, frameIndex, x, y));
                frame->data[0][static_cast<std::ptrdiff_t>(y) * frame->linesize[0] + x] = c.y;
                if (y % 2 == 0 && x % 2 == 0) {
                    frame->data[1][static_cast<std::ptrdiff_t>(y / 2) * frame->linesize[1] + x / 2] = c.u;
                    frame->data[2][static_cast<std::ptrdiff_t>(y / 2) * frame->linesize[2] + x / 2] = c.v;
                }
            }
        }
    }

    // 4 x 4 checker squares, lighter and darker by the texture amount.
    void paintTexture(int frameIndex) {
        const int w = options.width, h = options.height;
        const int shift = frameIndex * 2;
        for (int y = 0; y < h; ++y) {
            uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
            for (int x = 0; x < w; ++x) {
                const int delta = (((x + shift) / 4 + y / 4) % 2 == 0) ? options.texture : -options.texture;
                row[x] = static_cast<uint8_t>(std::clamp(row[x] + delta, 16, 235));
            }
        }
    }

    bool encode(VideoFrame& out) {
        if (av_frame_make_writable(frame.get()) != 0) return false;
        const int frameIndex = static_cast<int>(index);
        paintFrame(frameIndex);
        frame->pts = index * options.timeResolution / options.frameRate;
        frame->quality = codec->global_quality;
        frame->pict_type = index % options.gopLength == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (avcodec_send_frame(codec.get(), frame.get()) != 0) return false;
        bool got = false;
        while (avcodec_receive_packet(codec.get(), packet.get()) == 0) {
            out.data.assign(packet->data, packet->data + packet->size);
            out.intra = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            got = true;
            av_packet_unref(packet.get());
        }
        if (!got) return false;
        out.timeStampMs = static_cast<uint32_t>(index * 1000 / options.frameRate);
        ++index;
        return true;
    }
};

std::unique_ptr<EncodedVideoSource> EncodedVideoSource::create(const EncodedVideoOptions& options) {
    auto e = std::make_unique<Encoder>();
    e->options = options;
    EncodedVideoOptions& o = e->options;
    // Even sizes within what a 13-bit header field can say.
    if (o.width < 16 || o.height < 16 || o.width > 4096 || o.height > 4096 || o.width % 2 != 0 || o.height % 2 != 0) {
        return nullptr;
    }
    if (o.frameRate < 1 || o.frameRate > 30) return nullptr;
    if (o.timeResolution == 0) o.timeResolution = cameraTimeResolution(-1, o.frameRate);
    if (o.timeResolution < o.frameRate || o.timeResolution > 65535) return nullptr;
    if (o.gopLength <= 0) o.gopLength = o.frameRate;
    o.quantiser = std::clamp(o.quantiser, 2, 31);
    o.texture = std::clamp(o.texture, 0, 100);
    if (!e->open()) return nullptr;
    return std::unique_ptr<EncodedVideoSource>(new EncodedVideoSource(std::move(e)));
}

EncodedVideoSource::EncodedVideoSource(std::unique_ptr<Encoder> encoder) : encoder_(std::move(encoder)) {}
EncodedVideoSource::~EncodedVideoSource() = default;

bool EncodedVideoSource::nextFrame(VideoFrame& frame) {
    const EncodedVideoOptions& o = encoder_->options;
    if (o.frameLimit >= 0 && encoder_->index >= o.frameLimit) return false;
    return encoder_->encode(frame);
}

int EncodedVideoSource::width() const { return encoder_->options.width; }
int EncodedVideoSource::height() const { return encoder_->options.height; }
int EncodedVideoSource::frameRate() const { return encoder_->options.frameRate; }
int EncodedVideoSource::timeResolution() const { return encoder_->options.timeResolution; }

std::vector<uint8_t> EncodedVideoSource::sequenceHeader() const {
    std::vector<uint8_t> h = visualObjectSequenceHeader();
    const std::vector<uint8_t> vol = videoObjectLayerHeader(width(), height(), timeResolution());
    h.insert(h.end(), vol.begin(), vol.end());
    return h;
}

} // namespace camsim
