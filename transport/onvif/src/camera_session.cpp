#include "onvif/camera_session.h"

#include "onvif/ptz_record.h"

namespace onvif {

namespace {

constexpr int32_t kCommandSerial = 11;
constexpr int32_t kCommandDigitalOutput = 13;
constexpr int32_t kCommandSerialSetting = 17;
constexpr std::size_t kMotionByte = 18;
constexpr std::size_t kDigitalInputByte = 19;

} // namespace

CameraSession::CameraSession(std::unique_ptr<SoapTransport> transport, SessionSettings settings, EventPumpTiming timing)
    : transport_(std::move(transport)), settings_(std::move(settings)), timing_(timing),
      device_(*transport_, settings_.device) {}

CameraSession::~CameraSession() { close(); }

std::optional<std::string> CameraSession::open() {
    close();
    {
        std::lock_guard lock(mutex_);
        error_.clear();
    }
    if (!device_.connect()) return std::nullopt;
    const auto profiles = device_.profiles();
    if (!profiles) return std::nullopt;
    const std::optional<Profile> chosen = chooseProfile(*profiles, settings_.channel);
    if (!chosen) {
        std::lock_guard lock(mutex_);
        error_ = "the camera has no profile for channel " + std::to_string(settings_.channel);
        return std::nullopt;
    }
    std::optional<std::string> uri = device_.streamUri(chosen->token);
    if (!uri) return std::nullopt;
    const Profile& talk = talkProfile(*profiles, *chosen);
    // Asked only when another profile has the speaker; a failure leaves
    // talk-back on the shown stream, whose refusal then says why.
    std::optional<std::string> talkUri = talk.token == chosen->token ? uri : device_.streamUri(talk.token);
    std::lock_guard lock(mutex_);
    talkUri_ = talkUri ? talkUri : uri;
    profile_ = chosen;
    lane_ = std::make_shared<PtzLane>(device_, chosen->token);
    return uri;
}

bool CameraSession::synchronize() {
    const std::optional<Profile> p = profile();
    return p && device_.setSynchronizationPoint(p->token);
}

void CameraSession::startEvents() {
    std::lock_guard lock(mutex_);
    if (!pump_) pump_ = std::make_unique<EventPump>(device_, events_, platform::SystemClock::instance(), timing_);
}

bool CameraSession::waitSubscribed(int timeoutMs) const {
    const EventPump* pump = nullptr;
    {
        std::lock_guard lock(mutex_);
        pump = pump_.get();
    }
    return pump != nullptr && pump->waitSubscribed(timeoutMs);
}

int32_t CameraSession::sendCommand(int32_t type, const uint8_t* data, int32_t length) {
    if (type == kCommandSerialSetting) return 1;
    std::lock_guard lock(mutex_);
    if (!lane_ || data == nullptr || length <= 0) return 0;
    if (type == kCommandSerial) {
        const std::optional<PtzRecord> record = decodePtzRecord(data, static_cast<std::size_t>(length));
        return record && lane_->worker.submit(*record) ? 1 : 0;
    }
    if (type == kCommandDigitalOutput) return lane_->worker.submitRelay(data[0] != 0) ? 1 : 0;
    return 0;
}

namespace {

// Waits for a pointing call a little longer than its own bound.
constexpr int kPointingWaitMarginMs = 500;

} // namespace

std::shared_ptr<CameraSession::PtzLane> CameraSession::lane() {
    std::lock_guard lock(mutex_);
    return lane_;
}

std::optional<PtzSpaces> CameraSession::ptzSpaces() {
    std::optional<std::string> token;
    {
        std::lock_guard lock(mutex_);
        if (spaces_) return spaces_;
        if (profile_) token = profile_->token;
    }
    if (!token) return std::nullopt;
    auto asked = std::make_shared<std::optional<PtzSpaces>>();
    const std::shared_ptr<PtzLane> held = lane();
    if (!held || !held->worker.runAndWait([this, asked] { return (*asked = device_.ptzSpaces()).has_value(); },
                                          settings_.device.callTimeoutMs + kPointingWaitMarginMs))
        return std::nullopt;
    std::lock_guard lock(mutex_);
    spaces_ = *asked;
    return spaces_;
}

bool CameraSession::relativeMove(bool fov, double pan, double tilt, double zoom) {
    const std::optional<PtzSpaces> spaces = ptzSpaces();
    const std::optional<Profile> p = profile();
    const std::shared_ptr<PtzLane> held = lane();
    if (!spaces || !p || !held) return false;
    const std::string zoomSpace = fov ? spaces->fovZoomSpace : std::string();
    return held->worker.runAndWait([this, token = p->token, fov, pan, tilt, zoom,
                                    zoomSpace] { return device_.relativeMove(token, fov, pan, tilt, zoom, zoomSpace); },
                                   settings_.device.callTimeoutMs + kPointingWaitMarginMs);
}

bool CameraSession::absoluteMove(double pan, double tilt, double zoom) {
    const std::optional<Profile> p = profile();
    const std::shared_ptr<PtzLane> held = lane();
    if (!p || !held) return false;
    return held->worker.runAndWait(
        [this, token = p->token, pan, tilt, zoom] { return device_.absoluteMove(token, pan, tilt, zoom); },
        settings_.device.callTimeoutMs + kPointingWaitMarginMs);
}

std::optional<PtzStatus> CameraSession::ptzStatus() {
    const std::optional<Profile> p = profile();
    const std::shared_ptr<PtzLane> held = lane();
    if (!p || !held) return std::nullopt;
    auto status = std::make_shared<std::optional<PtzStatus>>();
    if (!held->worker.runAndWait(
            [this, token = p->token, status] { return (*status = device_.ptzStatus(token)).has_value(); },
            settings_.device.callTimeoutMs + kPointingWaitMarginMs))
        return std::nullopt;
    return *status;
}

void CameraSession::stampHeader(uint8_t* header) const {
    header[kMotionByte] = events_.motionByte();
    header[kDigitalInputByte] = events_.digitalInputByte();
}

void CameraSession::abort() { transport_->abort(); }

void CameraSession::close() {
    std::unique_ptr<EventPump> pump;
    std::shared_ptr<PtzLane> lane;
    {
        std::lock_guard lock(mutex_);
        pump = std::move(pump_);
        lane = std::move(lane_);
        spaces_.reset();
    }
    // The subscription is given back while the transport still runs, so that
    // a camera with few pull points has this one free for the next client;
    // then whatever is still in flight ends at once.
    if (pump) pump->stop(EventPump::kUnsubscribeBoundMs);
    transport_->abort();
    if (lane) lane->worker.stop();
    pump.reset();
    lane.reset();
    std::lock_guard lock(mutex_);
    profile_.reset();
}

std::string CameraSession::lastError() const {
    {
        std::lock_guard lock(mutex_);
        if (!error_.empty()) return error_;
    }
    return device_.lastError();
}

std::optional<std::string> CameraSession::talkStreamUri() const {
    std::lock_guard lock(mutex_);
    return talkUri_;
}

std::optional<Profile> CameraSession::profile() const {
    std::lock_guard lock(mutex_);
    return profile_;
}

} // namespace onvif
