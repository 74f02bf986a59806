#include "camsim/simulated_camera.h"

#include <cstring>

#include "camsim/camera_head.h"
#include "camsim/onvif_camera.h"
#include "camsim/onvif_rtsp_streams.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"

namespace camsim {

namespace {

template <std::size_t N>
void copyText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

MediaConfig mediaConfigFor(const SettingsCamera& s, int connectTimeoutSeconds) {
    MediaConfig c{};
    c.connectionType = 2;
    copyText(c.cameraAddress, s.host);
    copyText(c.userName, s.user);
    copyText(c.password, s.password);
    c.registerPort = s.registerPort;
    c.controlPort = s.controlPort;
    c.streamingPort = s.streamingPort;
    c.httpPort = s.httpPort;
    c.connectTimeoutSeconds = connectTimeoutSeconds;
    return c;
}

SettingsCamera loginOf(const CameraOptions& o) {
    SettingsCamera s;
    s.name = o.scene.name;
    s.host = o.host == "0.0.0.0" ? "127.0.0.1" : o.host;
    s.user = o.user;
    s.password = o.password;
    s.ptzAddress = o.ptzAddress;
    return s;
}

SettingsCamera sectionOf(const V1Camera& camera) {
    SettingsCamera s = loginOf(camera.options());
    s.streamingType = 1;
    s.registerPort = camera.loginPort();
    s.controlPort = camera.controlPort();
    s.streamingPort = camera.mediaPort();
    s.httpPort = camera.options().httpPort;
    return s;
}

SettingsCamera sectionOf(const V2Camera& camera) {
    SettingsCamera s = loginOf(camera.options());
    s.streamingType = 2;
    s.registerPort = camera.options().loginPort;
    s.controlPort = camera.controlPort();
    s.streamingPort = camera.videoPort();
    s.httpPort = camera.httpPort();
    return s;
}

} // namespace

MediaConfig loopbackMediaConfig(const V1Camera& camera, int connectTimeoutSeconds) {
    return mediaConfigFor(sectionOf(camera), connectTimeoutSeconds);
}

MediaConfig loopbackMediaConfig(const V2Camera& camera, int connectTimeoutSeconds) {
    return mediaConfigFor(sectionOf(camera), connectTimeoutSeconds);
}

CameraOptions quietCameraOptions() {
    CameraOptions o;
    o.video.resolutionCode = 2;
    o.video.frameRate = 5;
    o.streamAudio = false;
    return o;
}

CameraOptions smallCameraOptions() {
    CameraOptions o;
    o.video.resolutionCode = 1;
    o.video.frameRate = 30;
    o.streamAudio = false;
    return o;
}

SimulatedCamera::SimulatedCamera(SimulatedCameraSettings settings) : settings_(std::move(settings)) {}

SimulatedCamera::SimulatedCamera(int streamingType, CameraOptions options) {
    settings_.streamingType = streamingType;
    settings_.options = std::move(options);
}

SimulatedCamera::~SimulatedCamera() { stop(); }

bool SimulatedCamera::start() {
    const CameraOptions& o = settings_.options;
    switch (settings_.streamingType) {
    case 1:
        v1_ = std::make_unique<V1Camera>(o);
        v1_->head().setFaults(settings_.headFaults);
        if (v1_->start()) return true;
        break;
    case 2:
        v2_ = std::make_unique<V2Camera>(o);
        v2_->head().setFaults(settings_.headFaults);
        if (v2_->start()) return true;
        break;
    case kOnvifStreamingType: return startOnvif();
    case kRtspStreamingType: {
#if CAMSIM_WITH_VIDEO
        RtspOptions r = settings_.rtsp;
        r.user = o.user;
        r.password = o.password;
        r.name = o.scene.name;
        r.variant = o.scene.variant;
        rtsp_ = std::make_shared<RtspCamera>(r);
        if (rtsp_->start()) return true;
        error_ = rtsp_->error();
#else
        error_ = "this build has no RTSP camera";
#endif
        return false;
    }
    default: error_ = "no simulated camera for streaming type " + std::to_string(settings_.streamingType); return false;
    }
    error_ = "cannot listen on " + o.host + " (ports in use?)";
    return false;
}

bool SimulatedCamera::startOnvif() {
    const CameraOptions& o = settings_.options;
    OnvifOptions onvif;
    onvif.user = o.user;
    onvif.password = o.password;
    onvif.port = o.httpPort;
    onvif.name = o.scene.name;
    if (!settings_.onvifProfiles.empty()) onvif.profiles = settings_.onvifProfiles;
    onvif.ptzSpaces = settings_.onvifPtzSpaces;
    auto head = std::make_shared<CameraHead>();
    head->setFaults(settings_.headFaults);
    std::shared_ptr<OnvifStreamSource> streams;
#if CAMSIM_WITH_VIDEO
    for (auto& p : onvif.profiles) {
        p.frameRate = settings_.rtsp.frameRate;
        if (settings_.rtsp.keyFrameInterval > 0) p.govLength = settings_.rtsp.keyFrameInterval;
    }
    if (settings_.sdCard && !onvif.profiles.empty()) {
        // The card records the main stream.
        SdCardOptions card = *settings_.sdCard;
        const OnvifProfile& main = onvif.profiles.front();
        card.width = main.width;
        card.height = main.height;
        card.frameRate = main.frameRate;
        card.keyInterval = settings_.rtsp.keyFrameInterval; // 0: one a second
        card.name = o.scene.name;
        card.variant = o.scene.variant;
        sdCard_ = std::make_shared<SdCard>(card);
        onvif.sdCard = sdCard_;
    }
    RtspProfileSettings streamSettings;
    streamSettings.name = o.scene.name;
    streamSettings.variant = o.scene.variant;
    streamSettings.audio = settings_.rtsp.audio;
    talk_ = std::make_shared<TalkReceiver>(settings_.talkCodec, head);
    streamSettings.talk = talk_;
    streamSettings.preEncodedSeconds = settings_.rtsp.preEncodedSeconds;
    streamSettings.sharedLoops = settings_.rtsp.sharedLoops;
    streamSettings.timeStrip = settings_.rtsp.timeStrip;
    streamSettings.clockRate = settings_.rtsp.clockRate;
    streamSettings.fault = settings_.rtsp.fault; // --fault spoils the profiles' streams too
    onvifStreams_ = std::make_shared<RtspProfileStreams>(onvif, head, streamSettings);
    if (!onvifStreams_->start()) {
        error_ = onvifStreams_->error();
        return false;
    }
    streams = onvifStreams_;
#endif
    onvif_ = std::make_unique<OnvifCamera>(onvif, head, streams);
    onvif_->setFault(settings_.onvifFault);
    onvif_->setAnswerDelayMs(settings_.answerDelayMs);
    if (onvif_->start()) return true;
    error_ = "cannot listen on " + o.host + " (port in use?)";
    return false;
}

void SimulatedCamera::stop() {
    if (v1_) v1_->stop();
    if (v2_) v2_->stop();
    if (onvif_) onvif_->stop();
#if CAMSIM_WITH_VIDEO
    if (rtsp_) rtsp_->stop();
    if (onvifStreams_) onvifStreams_->stop();
#endif
}

Recording* SimulatedCamera::recording() {
    if (v1_) return &v1_->recording();
    if (v2_) return &v2_->recording();
    return nullptr;
}

CameraHead& SimulatedCamera::head() {
    if (onvif_) return onvif_->head();
#if CAMSIM_WITH_VIDEO
    if (rtsp_) return rtsp_->head();
#endif
    return v1_ ? v1_->head() : v2_->head();
}

SettingsCamera SimulatedCamera::section(const std::string& ptzFile) const {
    SettingsCamera s;
    if (v1_) {
        s = sectionOf(*v1_);
    } else if (v2_) {
        s = sectionOf(*v2_);
    } else {
        s = loginOf(settings_.options);
        s.streamingType = settings_.streamingType;
    }
    s.ptzProtocolFile = ptzFile;
#if CAMSIM_WITH_VIDEO
    if (rtsp_) {
        // The whole URL: the stream client takes it as it is.
        s.host = rtsp_->url(settings_.rtspCodec);
        s.streamingPort = rtsp_->port();
        s.ptzProtocolFile.clear(); // no PTZ channel on plain RTSP
    }
#endif
    if (onvif_) {
        s.host = "127.0.0.1";
        s.httpPort = onvif_->port();
    }
    return s;
}

MediaConfig SimulatedCamera::mediaConfig(int connectTimeoutSeconds) const {
    return mediaConfigFor(section(), connectTimeoutSeconds);
}

} // namespace camsim
