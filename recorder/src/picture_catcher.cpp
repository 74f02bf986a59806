#include "recorder/picture_catcher.h"

#include "platform/clock.h"
#include "platform/libav_owners.h"

#include "jpeg_coding.h"

namespace recorder {

namespace {

using platform::av::CodecContextPtr;
using platform::av::FramePtr;
using platform::av::PacketPtr;

// Frames waiting for the decoder; past this the catcher skips to the next
// key picture rather than hold more.
constexpr std::size_t kQueueBytes = std::size_t{64} << 20;

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

bool fullRange(const AVFrame& f) {
    return f.color_range == AVCOL_RANGE_JPEG || f.format == AV_PIX_FMT_YUVJ420P || f.format == AV_PIX_FMT_YUVJ422P ||
           f.format == AV_PIX_FMT_YUVJ444P;
}

} // namespace

struct PictureCatcher::Decoder {
    MediaKind kind = MediaKind::Audio;
    CodecContextPtr context;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    bool clean = false;   // the group so far decoded without errors
    bool started = false; // a key picture was sent
};

PictureCatcher::PictureCatcher(std::function<void()> caught)
    : caught_(std::move(caught)), decoder_(std::make_unique<Decoder>()), thread_([this] { run(); }) {}

PictureCatcher::~PictureCatcher() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void PictureCatcher::tap(void* catcher, int32_t frameKind, const uint8_t* record, int32_t length) {
    static_cast<PictureCatcher*>(catcher)->take(frameKind, record, length);
}

void PictureCatcher::take(int32_t frameKind, const uint8_t* record, int32_t length) {
    if (record == nullptr || length <= 0) return;
    const int64_t now = platform::SystemClock::instance().nowMs();
    std::optional<Frame> frame = frameFromRecord(frameKind, {record, static_cast<std::size_t>(length)}, now);
    if (!frame || !isVideo(frame->kind)) return;
    {
        std::lock_guard lock(mutex_);
        if (seeded_ && !liveFromKey_ && !frame->key) return;
        liveFromKey_ = true;
    }
    queue(std::move(*frame));
}

void PictureCatcher::take(Frame frame) {
    {
        std::lock_guard lock(mutex_);
        if (!liveFromKey_) seeded_ = true;
    }
    queue(std::move(frame));
}

void PictureCatcher::queue(Frame frame) {
    {
        std::lock_guard lock(mutex_);
        if (picture_ || quit_ || !isVideo(frame.kind)) return;
        if (frame.key) skipToKey_ = false;
        const std::size_t cost = memoryCost(frame);
        if (skipToKey_ || queuedBytes_ + cost > kQueueBytes) {
            skipToKey_ = true;
            return;
        }
        queuedBytes_ += cost;
        queue_.push_back(std::move(frame));
    }
    wake_.notify_all();
}

std::optional<PictureCatcher::Picture> PictureCatcher::picture() const {
    std::lock_guard lock(mutex_);
    return picture_;
}

std::string PictureCatcher::whyNone() const {
    std::lock_guard lock(mutex_);
    if (!failure_.empty()) return failure_;
    if (damaged_ > 0) return "no picture decoded without errors came (" + std::to_string(damaged_) + " damaged)";
    return "no picture came";
}

bool PictureCatcher::waitFor(int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return picture_.has_value(); });
}

void PictureCatcher::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_) return;
        Frame frame = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= memoryCost(frame);
        lock.unlock();
        decode(frame);
        lock.lock();
        if (picture_) {
            queue_.clear();
            queuedBytes_ = 0;
            lock.unlock();
            wake_.notify_all();
            if (caught_) caught_();
            lock.lock();
            // Nothing more is taken; wait to be told to go.
            wake_.wait(lock, [this] { return quit_; });
            return;
        }
    }
}

void PictureCatcher::decode(const Frame& frame) {
    Decoder& d = *decoder_;
    if (!d.started && !frame.key) return;
    if (!d.context || d.kind != frame.kind) {
        // A new codec (or the first): a decoder of its own, from a key picture.
        if (!frame.key) return;
        const AVCodec* codec = avcodec_find_decoder(codecOf(frame.kind));
        d.context.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (!d.context) {
            std::lock_guard lock(mutex_);
            failure_ = "no decoder for the camera's pictures";
            return;
        }
        // One picture out for each in, and the decoder's own error report.
        d.context->thread_count = 1;
        d.context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        if (avcodec_open2(d.context.get(), codec, nullptr) < 0) {
            d.context.reset();
            std::lock_guard lock(mutex_);
            failure_ = "the camera's pictures cannot be decoded";
            return;
        }
        d.kind = frame.kind;
    }
    if (frame.key) {
        d.started = true;
        d.clean = true;
    }
    if (av_new_packet(d.packet.get(), static_cast<int>(frame.payload.size())) < 0) return;
    std::copy(frame.payload.begin(), frame.payload.end(), d.packet->data);
    if (frame.key) d.packet->flags |= AV_PKT_FLAG_KEY;
    const int sent = avcodec_send_packet(d.context.get(), d.packet.get());
    av_packet_unref(d.packet.get());
    if (sent < 0) {
        // The decoder refused the picture: the group is no good to the end.
        d.clean = false;
        std::lock_guard lock(mutex_);
        ++damaged_;
        return;
    }
    while (avcodec_receive_frame(d.context.get(), d.frame.get()) == 0) {
        AVFrame& f = *d.frame;
        const bool damaged = f.decode_error_flags != 0 || (f.flags & AV_FRAME_FLAG_CORRUPT) != 0;
        if (damaged) d.clean = false;
        if (!d.clean) {
            std::lock_guard lock(mutex_);
            ++damaged_;
            av_frame_unref(&f);
            continue;
        }
        std::string error;
        std::optional<std::vector<uint8_t>> jpeg =
            codeJpeg(f.data, f.linesize, static_cast<AVPixelFormat>(f.format), fullRange(f), f.width, f.height, error);
        const int width = f.width;
        const int height = f.height;
        av_frame_unref(&f);
        std::lock_guard lock(mutex_);
        if (!jpeg) {
            failure_ = error;
            continue;
        }
        const auto age = std::chrono::milliseconds(platform::SystemClock::instance().nowMs() - frame.arrivalMs);
        picture_ = Picture{std::move(*jpeg), width, height, std::chrono::system_clock::now() - age};
        return;
    }
}

} // namespace recorder
