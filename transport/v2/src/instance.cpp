#include "instance.h"

#include "platform/diagnostics.h"

#include "platform/http_get.h"
#include "platform/url_encode.h"
#include "transport/protocol_message.h"

#include <cstring>
#include <new>

namespace fenwa20 {

namespace {

constexpr char kAgent[] = "DeViru";
constexpr std::size_t kVideoAnswerCapacity = 512;
constexpr std::size_t kMotionAnswerCapacity = 1024;

// A text field of width n holds at most n - 1 characters.
std::string fieldText(const char* field, std::size_t width) { return std::string(field, strnlen(field, width - 1)); }

} // namespace

Instance::Instance(const InstanceOptions& options) : options_(options), control_(options.control) {
    httpBase_ = "http://:80/cgi-bin/";
}

Instance::~Instance() {
    // Threads should have ended in stopStreaming; if not, they end here, and
    // with no callback left they cannot call into a caller that is going away.
    control_.setCallback(nullptr, nullptr);
    control_.stopThreads();
}

void Instance::setMediaConfig(const MediaConfig& config) {
    std::memcpy(&config_, &config, sizeof config_);
    host_ = fieldText(config_.cameraAddress, sizeof config_.cameraAddress);
    streamingPort_ = config_.streamingPort;
    controlPort_ = config_.controlPort;
    httpPort_ = config_.httpPort;
    user_ = fieldText(config_.userName, sizeof config_.userName);
    password_ = fieldText(config_.password, sizeof config_.password);
    httpBase_ = "http://" + host_ + ":" + std::to_string(httpPort_) + "/cgi-bin/";

    // Control login: user name (first 32 bytes), login code 1, zeros, password.
    controlLogin_.fill(0);
    std::memcpy(controlLogin_.data(), config_.userName, 32);
    transport::putUint32Le(controlLogin_.data() + 32, 1);
    std::memcpy(controlLogin_.data() + 64, config_.password, 64);
    // Video login: user name and password, 64 bytes each.
    std::memcpy(videoLogin_.data(), config_.userName, 64);
    std::memcpy(videoLogin_.data() + 64, config_.password, 64);
}

void Instance::beginOperation() {
    std::lock_guard lock(operationMutex_);
    operationRunning_ = true;
    operationAborted_ = false;
}

bool Instance::endOperation() {
    std::lock_guard lock(operationMutex_);
    operationRunning_ = false;
    if (!operationAborted_) return false;
    // Woken on purpose: free the sockets here, on the thread that used them.
    control_.close();
    video_.close();
    return true;
}

bool Instance::abortOperationLocked() {
    if (!operationRunning_) return false;
    operationAborted_ = true;
    control_.abort();
    video_.close(); // safe while a login reads; wakes it
    return true;
}

int32_t Instance::connect() {
    // Reconnecting while the control threads run would pull the socket from
    // under them.
    if (control_.threadsExist()) return 0;
    beginOperation();
    bool ok = false;
    switch (config_.connectionType) {
    case 1: ok = video_.open(host_, streamingPort_); break;
    case 2:
        ok = control_.open(host_, controlPort_);
        if (ok && (operationAborted_ || !video_.open(host_, streamingPort_))) {
            control_.close();
            ok = false;
        }
        break;
    case 3: ok = control_.open(host_, controlPort_); break;
    default: break;
    }
    const bool aborted = endOperation();
    if (!ok) reportConnectFailure(aborted, false);
    return !aborted && ok ? 1 : 0;
}

int32_t Instance::startStreaming() {
    beginOperation();
    bool ok = false;
    switch (config_.connectionType) {
    case 1: ok = video_.login(videoLogin_); break;
    case 2: ok = control_.login(controlLogin_) && !operationAborted_ && video_.login(videoLogin_); break;
    case 3: ok = control_.login(controlLogin_); break;
    default: break;
    }
    const bool aborted = endOperation();
    if (!ok) reportConnectFailure(aborted, true);
    return !aborted && ok ? 1 : 0;
}

void Instance::reportConnectFailure(bool aborted, bool atLogin) const {
    if (!platform::diagnosticsOn()) return;
    const auto portText = [](int port) { return " (port " + std::to_string(port) + ")"; };
    std::string step;
    std::string why;
    const bool withControl = config_.connectionType == 2 || config_.connectionType == 3;
    const bool withVideo = config_.connectionType == 1 || config_.connectionType == 2;
    if (aborted) {
        step = atLogin ? "the login" : "the connect";
        why = "stopped by a disconnect";
    } else if (!withControl && !withVideo) {
        step = "the settings";
        why = "connection type " + std::to_string(config_.connectionType) + " is not 1, 2 or 3";
    } else if (!atLogin && withControl && !control_.isOpen()) {
        step = "the control channel" + portText(controlPort_);
        why = platform::describeSystemError(control_.socketError());
    } else if (!atLogin) {
        step = "the video channel" + portText(streamingPort_);
        why = platform::describeSystemError(video_.socketError());
    } else if (withControl && control_.state() < 3) {
        step = "the control channel login";
        why = control_.state() == 2 ? "login refused for user \"" + user_ + "\"" : "no answer to the login";
    } else {
        step = "the video channel login";
        why = "login refused or not answered";
    }
    platform::diagnose("Fenwa20-M: connect to " + host_ + " failed at " + step + ": " + why);
}

int32_t Instance::getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    return video_.nextFrame(frameKind, buffer, bufferSize);
}

int32_t Instance::getNextIFrame() { return video_.nextIFrame(); }

void Instance::stopStreaming() {
    std::lock_guard lock(operationMutex_);
    if (abortOperationLocked()) return;
    if (config_.connectionType == 3) {
        control_.stopThreads();
        return;
    }
    control_.stopThreads();
    video_.close();
}

void Instance::disconnect() {
    std::lock_guard lock(operationMutex_);
    if (abortOperationLocked()) return;
    control_.disconnect();
    video_.close();
}

int32_t Instance::sendCommand(const TransportCommand& command) {
    if (command.length < 0 || (command.length > 0 && command.data == nullptr)) return 0;
    if (command.type == transport::kCommandSerialSetting) return sendSerialSetting(command);
    uint32_t type = static_cast<uint32_t>(command.type);
    if (command.type == transport::kCommandSerial) type = kMessageSerial;
    if (command.type == transport::kCommandDigitalOutput) type = kMessageDigitalOutput;
    return control_.send(type, command.data, static_cast<std::size_t>(command.length)) ? 1 : 0;
}

int32_t Instance::sendSerialSetting(const TransportCommand& command) {
    if (command.length < 2) return 0;
    const auto* payload = static_cast<const uint8_t*>(command.data);
    const auto url = serialSettingUrl(host_, httpPort_, platform::percentEncodeQueryValue(user_),
                                      platform::percentEncodeQueryValue(password_), payload[0], payload[1]);
    // A data format the camera has no text for is not sent at all.
    if (!url) return 0;
    std::string answer;
    return httpRequest(*url, 1, options_.controlRequestTimeoutMs, answer) ? 1 : 0;
}

void Instance::setControlDataCallback(void* context, ControlDataCallback callback) {
    control_.setCallback(context, callback);
}

QueryIdentity Instance::identity() const {
    return QueryIdentity{httpBase_, platform::percentEncodeQueryValue(user_),
                         platform::percentEncodeQueryValue(password_), config_.channel};
}

bool Instance::httpRequest(const std::string& url, std::size_t capacity, std::string& answer) const {
    return httpRequest(url, capacity, options_.httpTimeoutMs, answer);
}

bool Instance::httpRequest(const std::string& url, std::size_t capacity, int timeoutMs, std::string& answer) const {
    platform::HttpGetRequest request;
    request.url = url;
    request.agent = kAgent;
    request.timeoutMs = timeoutMs;
    request.maxBodyBytes = capacity > 0 ? capacity - 1 : 0;
    platform::HttpGetResult result = platform::httpGet(request);
    // An error page is not the camera's settings.
    if (!result.ok()) return false;
    answer = std::move(result.body);
    return true;
}

int32_t Instance::setVideoConfig(const VideoConfig& config) {
    std::string answer;
    httpRequest(videoSetQuery(identity(), config), kVideoAnswerCapacity, answer);
    return 1;
}

int32_t Instance::getVideoConfig(VideoConfig& out) {
    std::string answer;
    const bool answered = httpRequest(videoGetQuery(identity()), kVideoAnswerCapacity, answer);
    std::lock_guard lock(videoConfigMutex_);
    if (answered) parseVideoAnswer(answer, storedVideoConfig_);
    out = storedVideoConfig_;
    return 1;
}

int32_t Instance::setMotionInfo(const MotionInfo& info) {
    if (const auto query = motionSetQuery(identity(), info)) {
        std::string answer;
        httpRequest(*query, kMotionAnswerCapacity, answer);
    }
    return 1;
}

int32_t Instance::getMotionInfo(MotionInfo& out) {
    std::string answer;
    if (httpRequest(motionGetQuery(identity()), kMotionAnswerCapacity, answer)) out = parseMotionAnswer(answer);
    return 1;
}

} // namespace fenwa20

std::unique_ptr<transport::PluginInstance> transport::makePluginInstance() {
    return std::unique_ptr<PluginInstance>(new (std::nothrow) fenwa20::Instance());
}
