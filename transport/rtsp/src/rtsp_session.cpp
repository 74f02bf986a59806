#include "corvel/rtsp_session.h"

#include "audio_converter.h"
#include "conversation_watch.h"
#include "platform/clock.h"
#include "platform/diagnostics.h"
#include "platform/libav_log.h"
#include "platform/network_guard.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <chrono>
#include <thread>

namespace corvel {

namespace {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool startsWithStartCode(const uint8_t* data, int size) {
    return (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) ||
           (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
}

// 320 samples at 8,000 samples/s.
constexpr int64_t kAudioSliceMs = 40;

bool kindOf(AVCodecID id, RecordKind& kind) {
    switch (id) {
    case AV_CODEC_ID_H264: kind = RecordKind::H264; return true;
    case AV_CODEC_ID_HEVC: kind = RecordKind::H265; return true;
    case AV_CODEC_ID_MJPEG: kind = RecordKind::Jpeg; return true;
    default: return false;
    }
}

std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

} // namespace

RtspSession::RtspSession(std::string name, Authentication authentication)
    : name_(std::move(name)), authentication_(authentication) {}

RtspSession::~RtspSession() { close(); }

int RtspSession::interrupted(void* opaque) {
    auto* self = static_cast<RtspSession*>(opaque);
    // libavformat calls this only once the first connection is under way (or
    // later), so emptying the protocol list now leaves that connection alone
    // and refuses any other it would open (a redirect's).
    if (self->refuseFurtherConnections_ && !self->furtherConnectionsRefused_ && self->opening_ != nullptr) {
        av_opt_set(self->opening_, "protocol_whitelist", "none", 0);
        self->furtherConnectionsRefused_ = true;
    }
    // Before libav writes the answer to a Basic challenge.
    if (self->basicRefused()) return 1;
    if (self->abort_.load()) return 1;
    if (nowNs() > self->deadlineNs_.load()) {
        self->deadlinePassed_.store(true);
        return 1;
    }
    return 0;
}

void RtspSession::setDeadline(int ms) {
    deadlinePassed_.store(false);
    deadlineNs_.store(nowNs() + static_cast<int64_t>(ms) * 1000000);
}

void RtspSession::abort() {
    abort_.store(true);
    preflight_.abort();
}

Failure RtspSession::failure() const { return failure_.load(); }

void RtspSession::watchConversation(AVFormatContext* context) {
    conversation_ = std::make_unique<ConversationWatch>();
    logWatch_ = std::make_unique<platform::LibavLogWatch>(
        context, ConversationWatch::formats(),
        [watch = conversation_.get()](int, std::string_view message) { watch->observe(message); });
    // Also routes libav's own messages to the diagnostics. When another part
    // of the program took libav's log the watch sees nothing: the reasons it
    // adds are missed, the password rule (the preflight) holds all the same.
    if (!logWatch_->confirm())
        platform::diagnose(name_ + ": libav's log is taken by another part of the program; some reasons go untold");
}

std::string RtspSession::urlForLibav(const CameraUrl& where, const Deadlines& deadlines) {
    if (authentication_ != Authentication::DigestOnly) return where.url;
    using Outcome = rtsp_password::Preflight::Outcome;
    const rtsp_password::Preflight p = preflight_.run(where.bare, authentication_, deadlines.connectMs);
    if (p.outcome == Outcome::Aborted) {
        fail(Failure::Aborted, "the connection attempt was stopped");
        return {};
    }
    if (p.outcome == Outcome::Answered && p.answer == rtsp_password::Answer::Refuse) {
        fail(Failure::BasicRefused, rtsp_password::basicRefusalReason());
        return {};
    }
    // Unanswered, libav meets the same (within what is left of the
    // deadline) and tells it as it does; only a digest challenge brings the
    // password along.
    return p.outcome == Outcome::Answered && p.answer == rtsp_password::Answer::Digest ? where.url : where.bare;
}

bool RtspSession::basicRefused() const {
    return authentication_ == Authentication::DigestOnly && conversation_ && conversation_->basicAsked();
}

bool RtspSession::failedForConversation(int result) {
    if (basicRefused()) {
        fail(Failure::BasicRefused, rtsp_password::basicRefusalReason());
        return true;
    }
    // libav reports a connection the camera closed as the end of the file,
    // an input error or (for the missing answer to a request) bad data.
    const bool closed = result == AVERROR_EOF || result == AVERROR(EIO) || result == AVERROR(ECONNRESET) ||
                        result == AVERROR(EPIPE) || result == AVERROR_INVALIDDATA;
    if (!conversation_ || !closed || abort_.load() || deadlinePassed_.load()) return false;
    if (!playing_ && conversation_->lastStatus() == 401) {
        fail(Failure::Unauthorized, "the camera closed the connection right after asking for the password, so it "
                                    "could not be answered");
        return true;
    }
    if (playing_ && conversation_->keepAliveRefusal() != 0) {
        fail(Failure::Other, "the camera ended the session: it refused the keep-alive it offers (GET_PARAMETER "
                             "answered " +
                                 std::to_string(conversation_->keepAliveRefusal()) + ")");
        return true;
    }
    return false;
}

void RtspSession::fail(Failure failure, const std::string& why) {
    failure_.store(failure);
    platform::diagnose(name_ + ": " + redacted_ + ": " + why);
}

bool RtspSession::open(const CameraUrl& where, const Deadlines& deadlines) {
    std::lock_guard lock(operation_);
    closeLocked();
    abort_.store(false);
    preflight_.reset();
    deadlines_ = deadlines;
    redacted_ = where.redacted;
    failure_.store(Failure::None);
    const auto started = std::chrono::steady_clock::now();
    const std::string url = urlForLibav(where, deadlines);
    if (url.empty()) return false;

    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        fail(Failure::Other, "out of memory");
        return false;
    }
    context->interrupt_callback.callback = &RtspSession::interrupted;
    context->interrupt_callback.opaque = this;
    watchConversation(context);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    // PLAY waits for play(), so that connecting and starting are two steps.
    av_dict_set(&options, "initial_pause", "1", 0);
    // Only the RTSP connection itself: no RTP over UDP, no HTTP tunnel.
    av_dict_set(&options, "protocol_whitelist", "tcp", 0);
    av_dict_set(&options, "allowed_media_types", "video+audio", 0);
    refuseFurtherConnections_ = platform::loopbackOnly();
    furtherConnectionsRefused_ = false;
    opening_ = context;

    // The preflight's time counts against the same deadline.
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    setDeadline(std::max(1, deadlines.connectMs - static_cast<int>(spent.count())));
    const int result = avformat_open_input(&context, url.c_str(), av_find_input_format("rtsp"), &options);
    opening_ = nullptr;
    av_dict_free(&options);
    if (result < 0) { // the context is freed: its address may soon be another's
        logWatch_.reset();
        if (failedForConversation(result)) {
            // told
        } else if (abort_.load())
            fail(Failure::Aborted, "the connection attempt was stopped");
        else if (deadlinePassed_.load())
            fail(Failure::TimedOut, "no complete answer within " + std::to_string(deadlines.connectMs) + " ms");
        else if (result == AVERROR_HTTP_UNAUTHORIZED)
            fail(Failure::Unauthorized, "the camera refused the user name or password");
        else if (result == AVERROR(ECONNREFUSED))
            fail(Failure::Refused, "the camera refused the connection (nothing listens on that port)");
        else if (result == AVERROR_HTTP_NOT_FOUND)
            fail(Failure::NotFound, "the camera has no stream at that path");
        else if (result == AVERROR(EINVAL) && furtherConnectionsRefused_)
            fail(Failure::GuardRefused, "the camera sent us to another address (a redirect), which loopback-only "
                                        "mode refuses");
        else
            fail(Failure::Other, "the camera's answer was not usable (" + errorText(result) + ")");
        return false;
    }
    context_.reset(context);
    packet_.reset(av_packet_alloc());
    if (packet_ == nullptr) {
        fail(Failure::Other, "out of memory");
        closeLocked();
        return false;
    }
    if (!chooseStreams()) {
        closeLocked();
        return false;
    }
    return true;
}

bool RtspSession::chooseStreams() {
    videoIndex_ = -1;
    audioIndex_ = -1;
    std::string offered;
    for (unsigned i = 0; i < context_->nb_streams; ++i) {
        AVStream* stream = context_->streams[i];
        const AVCodecParameters* p = stream->codecpar;
        stream->discard = AVDISCARD_ALL;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && videoIndex_ < 0) {
            offered = avcodec_get_name(p->codec_id);
            if (kindOf(p->codec_id, videoKind_)) videoIndex_ = static_cast<int>(i);
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO && !audio_) {
            audio_ = AudioConverter::create(*p);
            if (audio_) audioIndex_ = static_cast<int>(i);
        }
    }
    if (videoIndex_ < 0) {
        fail(Failure::UnsupportedCodec, offered.empty()
                                            ? "the camera offers no video"
                                            : "the camera's video is " + offered + ", not H.264, H.265 or Motion JPEG");
        return false;
    }
    context_->streams[videoIndex_]->discard = AVDISCARD_DEFAULT;
    if (audioIndex_ >= 0) context_->streams[audioIndex_]->discard = AVDISCARD_DEFAULT;
    const AVCodecParameters* video = context_->streams[videoIndex_]->codecpar;
    parameterSets_.clear();
    if (video->extradata != nullptr && startsWithStartCode(video->extradata, video->extradata_size))
        parameterSets_.assign(video->extradata, video->extradata + video->extradata_size);
    awaitingRandomAccess_ = false;
    videoTimes_.reset();
    audioTimes_.reset();
    audioSlice_.assign(kAudioPayloadBytes, 0);
    return true;
}

bool RtspSession::play() {
    std::lock_guard lock(operation_);
    if (context_ == nullptr) return false;
    setDeadline(deadlines_.connectMs);
    const int result = av_read_play(context_.get());
    if (result < 0) {
        if (failedForConversation(result)) {
            // told
        } else if (abort_.load())
            fail(Failure::Aborted, "the start of the stream was stopped");
        else if (deadlinePassed_.load())
            fail(Failure::TimedOut, "no answer to PLAY within " + std::to_string(deadlines_.connectMs) + " ms");
        else
            fail(Failure::Other, "the camera did not start the stream (" + errorText(result) + ")");
        return false;
    }
    playing_ = true;
    return true;
}

int32_t RtspSession::audioRecord(int32_t* kind, std::span<uint8_t> out) {
    if (!audio_->pop(audioSlice_)) return -1;
    const std::size_t n = writeAudioRecord(static_cast<uint32_t>(audioClockMs_), audioSlice_, out);
    audioClockMs_ += kAudioSliceMs;
    if (n == 0) return -1;
    *kind = static_cast<int32_t>(RecordKind::Audio);
    return static_cast<int32_t>(n);
}

int32_t RtspSession::videoRecord(int32_t* kind, std::span<uint8_t> out) {
    const AVStream* stream = context_->streams[videoIndex_];
    const std::span<const uint8_t> picture(packet_->data, static_cast<std::size_t>(packet_->size));
    const AccessUnitInfo info = inspectAccessUnit(videoKind_, picture);
    if (awaitingRandomAccess_ && !info.randomAccess) return -1;
    const int64_t pts = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
    const int64_t timeMs = videoTimes_.timeOf(
        pts == AV_NOPTS_VALUE ? std::nullopt
                              : std::optional<int64_t>(av_rescale_q(pts, stream->time_base, AVRational{1, 1000})),
        platform::SystemClock::instance().nowMs());
    // The newest parameter sets win: those in the stream replace the
    // session description's (a camera may leave them out of it, or change
    // them), and go in front of later key pictures that come without.
    if (info.parameterSets) parameterSets_ = parameterSetsOf(videoKind_, picture);
    std::span<const uint8_t> prefix;
    if (info.randomAccess && !info.parameterSets) prefix = parameterSets_;
    const std::size_t n =
        writeVideoRecord(videoKind_, info.randomAccess, static_cast<uint32_t>(timeMs), prefix, picture, out);
    if (n == 0) {
        // Pictures after a refused one would decode into garbage.
        if (!awaitingRandomAccess_)
            platform::diagnose(name_ + ": refused a picture of " + std::to_string(picture.size()) +
                               " bytes (the buffer holds " + std::to_string(out.size()) +
                               "); waiting for the next key picture");
        awaitingRandomAccess_ = true;
        return -1;
    }
    awaitingRandomAccess_ = false;
    *kind = static_cast<int32_t>(videoKind_);
    return static_cast<int32_t>(n);
}

int32_t RtspSession::nextRecord(int32_t* kind, std::span<uint8_t> out) {
    std::lock_guard lock(operation_);
    if (context_ == nullptr || !playing_ || kind == nullptr) return -1;
    if (audio_) {
        const int32_t n = audioRecord(kind, out);
        if (n > 0) return n;
    }
    setDeadline(deadlines_.silenceMs);
    for (;;) {
        const int result = av_read_frame(context_.get(), packet_.get());
        if (result == AVERROR(EAGAIN)) {
            if (interrupted(this) != 0) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (result < 0) {
            if (failedForConversation(result)) return result == AVERROR_EOF ? 0 : -1;
            if (abort_.load()) return -1;
            if (deadlinePassed_.load())
                fail(Failure::TimedOut, "no data for " + std::to_string(deadlines_.silenceMs) + " ms");
            else if (result == AVERROR_EOF)
                fail(Failure::Other, "the camera ended the stream");
            else
                fail(Failure::Other, "the stream broke off (" + errorText(result) + ")");
            return result == AVERROR_EOF ? 0 : -1;
        }
        int32_t n = -1;
        if (packet_->stream_index == videoIndex_) {
            n = videoRecord(kind, out);
        } else if (packet_->stream_index == audioIndex_ && audio_) {
            // Slices that were waiting keep their times; a fresh run of
            // audio starts at its packet's time.
            if (!audio_->hasWhole() && packet_->pts != AV_NOPTS_VALUE)
                audioClockMs_ = audioTimes_.timeOf(
                    av_rescale_q(packet_->pts, context_->streams[audioIndex_]->time_base, AVRational{1, 1000}),
                    platform::SystemClock::instance().nowMs());
            audio_->push(*packet_);
            n = audioRecord(kind, out);
        }
        av_packet_unref(packet_.get());
        if (n > 0) return n;
    }
}

void RtspSession::close() {
    abort(); // wakes a blocked call, which then gives up the lock
    std::lock_guard lock(operation_);
    closeLocked();
}

void RtspSession::closeLocked() {
    if (context_ != nullptr) {
        // TEARDOWN goes out if the camera takes it within the close deadline.
        abort_.store(false);
        setDeadline(deadlines_.closeMs);
        context_.reset();
    }
    logWatch_.reset();
    conversation_.reset();
    packet_.reset();
    audio_.reset();
    playing_ = false;
    videoIndex_ = -1;
    audioIndex_ = -1;
}

} // namespace corvel
