#include "camsim/onvif_rtsp_streams.h"

#include "../replay/replay_server.h"

namespace camsim {

bool rtspCodecOfEncoding(const std::string& encoding, RtspCodec& codec) {
    if (encoding == "H264") {
        codec = RtspCodec::H264;
    } else if (encoding == "H265") {
        codec = RtspCodec::H265;
    } else if (encoding == "JPEG") {
        codec = RtspCodec::Mjpeg;
    } else {
        return false;
    }
    return true;
}

RtspProfileStreams::RtspProfileStreams(const OnvifOptions& options, std::shared_ptr<CameraHead> head,
                                       const RtspProfileSettings& settings)
    : head_(head), settings_(settings), talk_(settings.talk) {
    for (const OnvifProfile& p : options.profiles) {
        RtspOptions o;
        o.user = options.user;
        o.password = options.password;
        o.width = p.width;
        o.height = p.height;
        o.frameRate = p.frameRate;
        o.bitRateKbps = p.bitRateKbps;
        o.keyFrameInterval = p.govLength;
        o.audio = settings.audio;
        o.name = settings.name;
        o.variant = settings.variant;
        o.keyPictureOnPlay = settings.keyPictureOnPlay;
        o.fault = settings.fault;
        if (p.audioOutput) o.talk = settings.talk; // else its stream refuses the back channel
        o.preEncodedSeconds = settings.preEncodedSeconds;
        o.sharedLoops = settings.sharedLoops;
        o.timeStrip = settings.timeStrip;
        o.clockRate = settings.clockRate;
        Stream s;
        if (!rtspCodecOfEncoding(p.encoding, s.codec) && error_.empty()) {
            error_ = "profile " + p.token + ": no stream for encoding " + p.encoding;
        }
        s.camera = std::make_unique<RtspCamera>(o, head);
        cameras_.push_back(std::move(s));
    }
    if (options.sdCard)
        replay_ = std::make_unique<replay::ReplayServer>(options.sdCard, options.user, options.password);
}

RtspProfileStreams::~RtspProfileStreams() { stop(); }

bool RtspProfileStreams::start() {
    if (!error_.empty()) return false;
    for (Stream& s : cameras_) {
        if (!s.camera->start()) {
            error_ = s.camera->error();
            stop();
            return false;
        }
    }
    if (replay_ && !replay_->start()) {
        error_ = replay_->error();
        stop();
        return false;
    }
    return true;
}

void RtspProfileStreams::stop() {
    if (replay_) replay_->stop();
    for (Stream& s : cameras_) s.camera->stop();
}

std::string RtspProfileStreams::replayUri(const std::string& recordingToken) const {
    return replay_ && replay_->port() != 0 ? replay_->uri(recordingToken) : std::string();
}

void RtspProfileStreams::refuseReplay(bool refuse) {
    if (replay_) replay_->refuseReplay(refuse);
}

int RtspProfileStreams::replaySessionsStarted() const { return replay_ ? replay_->sessionsStarted() : 0; }

std::string RtspProfileStreams::streamUri(std::size_t index, const OnvifProfile&) const {
    if (index >= cameras_.size()) return {};
    return cameras_[index].camera->url(cameras_[index].codec);
}

void RtspProfileStreams::requestKeyFrame(std::size_t index) {
    keyFramesRequested_.fetch_add(1);
    if (index < cameras_.size()) cameras_[index].camera->requestKeyFrame();
}

} // namespace camsim
