#include "onvif/device.h"

#include "onvif/address.h"
#include "onvif/envelope.h"

#include <platform/diagnostics.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace onvif {

namespace {

using SteadyClock = std::chrono::steady_clock;

int remainingMs(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string velocityText(double v) {
    if (v > 1.0) v = 1.0;
    if (v < -1.0) v = -1.0;
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

const char* kPullAction = "http://www.onvif.org/ver10/events/wsdl/PullPointSubscription/PullMessagesRequest";
const char* kRenewAction = "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/RenewRequest";
const char* kUnsubscribeAction = "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest";

} // namespace

std::string deviceServiceUrl(const std::string& host, int port) {
    return "http://" + host + ":" + std::to_string(port > 0 ? port : 80) + "/onvif/device_service";
}

std::string presetName(int number) { return "Tavolin " + std::to_string(number); }

Device::Device(SoapTransport& transport, DeviceSettings settings, UtcClock utcNow)
    : transport_(transport), settings_(std::move(settings)), utcNow_(std::move(utcNow)) {
    if (!utcNow_) utcNow_ = [] { return std::time(nullptr); };
    services_.device = deviceServiceUrl(settings_.host, settings_.port);
}

void Device::fail(const std::string& why) const {
    {
        std::lock_guard lock(mutex_);
        lastError_ = why;
    }
    platform::diagnose("ONVIF: " + why);
}

std::string Device::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

ServiceAddresses Device::services() const {
    std::lock_guard lock(mutex_);
    return services_;
}

std::string Device::rewritten(const std::string& address) const {
    return replaceHost(address, settings_.host).value_or(std::string());
}

std::optional<std::string> Device::post(const Operation& op, bool token, const HttpDigest* digest, int timeoutMs,
                                        bool* authRefused) {
    Request request(op.service, op.name);
    if (op.fill) op.fill(request);
    if (!op.action.empty()) request.setAddressing(op.action, op.url);
    if (token) {
        request.setUsernameToken(makeUsernameToken(settings_.user, settings_.password, utcNow_() + offset_.load()));
    }
    const SoapReply reply = transport_.post(op.url, request.text(), digest, timeoutMs, op.cancel);
    if (op.end != nullptr) *op.end = reply.answered ? CallEnd::Refused : CallEnd::Unanswered;
    if (!reply.answered) {
        fail(std::string(op.name) + " got no answer from " + op.url + ": " + reply.error);
        return std::nullopt;
    }
    if (reply.status == 401) {
        *authRefused = true;
        fail(std::string(op.name) + ": the camera refused the user name or password");
        return std::nullopt;
    }
    if (const std::optional<Fault> fault = readFault(reply.body)) {
        if (fault->notAuthorized()) *authRefused = true;
        fail(std::string(op.name) + ": the camera answered with a fault (" +
             (fault->subcode.empty() ? fault->code : fault->subcode) + ": " + fault->reason + ")");
        return std::nullopt;
    }
    if (reply.status != 200) {
        fail(std::string(op.name) + ": HTTP status " + std::to_string(reply.status));
        return std::nullopt;
    }
    if (op.end != nullptr) *op.end = CallEnd::Done;
    return reply.body;
}

std::optional<std::string> Device::call(const Operation& op) {
    const int timeoutMs = op.timeoutMs > 0 ? op.timeoutMs : settings_.callTimeoutMs;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    bool authRefused = false;
    if (settings_.user.empty()) return post(op, false, nullptr, remainingMs(deadline), &authRefused);
    const HttpDigest digest{settings_.user, settings_.password};
    if (digestMode_.load()) return post(op, false, &digest, remainingMs(deadline), &authRefused);
    std::optional<std::string> body = post(op, true, nullptr, remainingMs(deadline), &authRefused);
    if (body || !authRefused || remainingMs(deadline) == 0) {
        if (authRefused) authRefused_.store(true);
        return body;
    }
    // Token refused: cameras that only know HTTP digest get that instead.
    body = post(op, false, &digest, remainingMs(deadline), &authRefused);
    if (body) {
        digestMode_.store(true);
    } else {
        authRefused_.store(true);
    }
    return body;
}

std::optional<std::string> Device::request(const std::string& url, Service service, const char* operation, Fill fill,
                                           int timeoutMs, const CallCancel* cancel) {
    Operation op{url, service, operation, std::move(fill)};
    op.timeoutMs = timeoutMs;
    op.cancel = cancel;
    return call(op);
}

bool Device::connect() {
    transport_.reset();
    const std::string deviceUrl = deviceServiceUrl(settings_.host, settings_.port);
    bool authRefused = false;
    // The clock comes first and without a token: the token needs it.
    const std::optional<std::string> time = post({deviceUrl, kDeviceService, "GetSystemDateAndTime", {}}, false,
                                                 nullptr, settings_.callTimeoutMs, &authRefused);
    if (!time) return false;
    const std::optional<std::time_t> cameraUtc = readSystemDateAndTime(*time);
    if (!cameraUtc) {
        fail("GetSystemDateAndTime: the reply holds no UTC time");
        return false;
    }
    offset_.store(static_cast<long long>(*cameraUtc) - static_cast<long long>(utcNow_()));

    std::optional<ServiceAddresses> found;
    authRefused_.store(false);
    if (const auto reply = call({deviceUrl, kDeviceService, "GetCapabilities",
                                 [](Request& r) { r.add(r.operation(), "Category", "All"); }})) {
        found = readCapabilities(*reply);
    }
    if (authRefused_.load()) {
        fail("the camera refused the user name or password");
        return false;
    }
    if (!found) {
        if (const auto reply = call({deviceUrl, kDeviceService, "GetServices",
                                     [](Request& r) { r.add(r.operation(), "IncludeCapability", "false"); }})) {
            found = readServices(*reply);
        }
    }
    if (!found) {
        if (lastError().empty()) fail("the camera names no media service");
        return false;
    }
    ServiceAddresses rewrittenAddresses;
    rewrittenAddresses.device = deviceUrl;
    rewrittenAddresses.media = rewritten(found->media);
    rewrittenAddresses.ptz = rewritten(found->ptz);
    rewrittenAddresses.events = rewritten(found->events);
    rewrittenAddresses.deviceIo = rewritten(found->deviceIo);
    rewrittenAddresses.search = rewritten(found->search);
    rewrittenAddresses.replay = rewritten(found->replay);
    if (rewrittenAddresses.media.empty()) {
        fail("the media service address is no URL: " + found->media);
        return false;
    }
    std::lock_guard lock(mutex_);
    services_ = rewrittenAddresses;
    lastError_.clear();
    return true;
}

std::optional<std::vector<Profile>> Device::profiles() {
    const std::string url = services().media;
    const auto reply = call({url, kMediaService, "GetProfiles", {}});
    if (!reply) return std::nullopt;
    auto profiles = readProfiles(*reply);
    if (!profiles) fail("GetProfiles: the reply lists no profiles");
    return profiles;
}

std::optional<std::string> Device::streamUri(const std::string& profileToken) {
    const std::string url = services().media;
    const auto reply = call({url, kMediaService, "GetStreamUri", [&](Request& r) {
                                 pugi::xml_node setup = r.add(r.operation(), "StreamSetup");
                                 r.add(setup, "Stream", "RTP-Unicast", true);
                                 pugi::xml_node transport = r.add(setup, "Transport", {}, true);
                                 r.add(transport, "Protocol", "RTSP", true);
                                 r.add(r.operation(), "ProfileToken", profileToken);
                             }});
    if (!reply) return std::nullopt;
    const std::optional<std::string> uri = readStreamUri(*reply);
    if (!uri) {
        fail("GetStreamUri: the reply holds no address");
        return std::nullopt;
    }
    std::string local = rewritten(*uri);
    if (local.empty()) {
        fail("GetStreamUri: the stream address is no URL");
        return std::nullopt;
    }
    return local;
}

std::optional<std::string> Device::snapshotUri(const std::string& profileToken) {
    const std::string url = services().media;
    const auto reply = call({url, kMediaService, "GetSnapshotUri",
                             [&](Request& r) { r.add(r.operation(), "ProfileToken", profileToken); }});
    if (!reply) return std::nullopt;
    const std::optional<std::string> uri = readSnapshotUri(*reply);
    std::string local = uri ? rewritten(*uri) : std::string();
    if (local.compare(0, 7, "http://") != 0) {
        fail("GetSnapshotUri: the reply holds no HTTP address");
        return std::nullopt;
    }
    return local;
}

bool Device::setSynchronizationPoint(const std::string& profileToken) {
    const std::string url = services().media;
    return call({url, kMediaService, "SetSynchronizationPoint",
                 [&](Request& r) { r.add(r.operation(), "ProfileToken", profileToken); }})
        .has_value();
}

bool Device::continuousMove(const std::string& profileToken, double pan, double tilt, double zoom) {
    const std::string url = services().ptz;
    if (url.empty()) {
        fail("the camera offers no PTZ service");
        return false;
    }
    return call({url, kPtzService, "ContinuousMove",
                 [&](Request& r) {
                     r.add(r.operation(), "ProfileToken", profileToken);
                     pugi::xml_node velocity = r.add(r.operation(), "Velocity");
                     if (pan != 0.0 || tilt != 0.0) {
                         pugi::xml_node panTilt = r.add(velocity, "PanTilt", {}, true);
                         panTilt.append_attribute("x") = velocityText(pan).c_str();
                         panTilt.append_attribute("y") = velocityText(tilt).c_str();
                     }
                     if (zoom != 0.0)
                         r.add(velocity, "Zoom", {}, true).append_attribute("x") = velocityText(zoom).c_str();
                 }})
        .has_value();
}

bool Device::stop(const std::string& profileToken, bool panTilt, bool zoom) {
    const std::string url = services().ptz;
    if (url.empty()) {
        fail("the camera offers no PTZ service");
        return false;
    }
    return call({url, kPtzService, "Stop",
                 [&](Request& r) {
                     r.add(r.operation(), "ProfileToken", profileToken);
                     r.add(r.operation(), "PanTilt", panTilt ? "true" : "false");
                     r.add(r.operation(), "Zoom", zoom ? "true" : "false");
                 }})
        .has_value();
}

namespace {

constexpr char kFovPanTiltSpace[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/TranslationSpaceFov";
constexpr char kGenericPanTiltTranslation[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/TranslationGenericSpace";
constexpr char kGenericZoomTranslation[] = "http://www.onvif.org/ver10/tptz/ZoomSpaces/TranslationGenericSpace";

std::string numberText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

} // namespace

std::optional<PtzSpaces> Device::ptzSpaces() {
    const std::string url = services().ptz;
    if (url.empty()) {
        fail("the camera offers no PTZ service");
        return std::nullopt;
    }
    const auto reply = call({url, kPtzService, "GetNodes"});
    if (!reply) return std::nullopt;
    auto spaces = readPtzSpaces(*reply);
    if (!spaces) fail("GetNodes: the reply names no PTZ node");
    return spaces;
}

bool Device::relativeMove(const std::string& profileToken, bool fov, double pan, double tilt, double zoom,
                          const std::string& zoomSpace) {
    const std::string url = services().ptz;
    if (url.empty()) {
        fail("the camera offers no PTZ service");
        return false;
    }
    const bool withZoom = zoomSpace.empty() ? zoom != 0.0 : zoom != 1.0;
    return call({url, kPtzService, "RelativeMove",
                 [&](Request& r) {
                     r.add(r.operation(), "ProfileToken", profileToken);
                     pugi::xml_node translation = r.add(r.operation(), "Translation");
                     pugi::xml_node panTilt = r.add(translation, "PanTilt", {}, true);
                     panTilt.append_attribute("x") = numberText(pan).c_str();
                     panTilt.append_attribute("y") = numberText(tilt).c_str();
                     panTilt.append_attribute("space") = fov ? kFovPanTiltSpace : kGenericPanTiltTranslation;
                     if (withZoom) {
                         pugi::xml_node z = r.add(translation, "Zoom", {}, true);
                         z.append_attribute("x") = numberText(zoom).c_str();
                         z.append_attribute("space") = zoomSpace.empty() ? kGenericZoomTranslation : zoomSpace.c_str();
                     }
                 }})
        .has_value();
}

bool Device::absoluteMove(const std::string& profileToken, double pan, double tilt, double zoom) {
    const std::string url = services().ptz;
    if (url.empty()) {
        fail("the camera offers no PTZ service");
        return false;
    }
    return call({url, kPtzService, "AbsoluteMove",
                 [&](Request& r) {
                     r.add(r.operation(), "ProfileToken", profileToken);
                     pugi::xml_node position = r.add(r.operation(), "Position");
                     pugi::xml_node panTilt = r.add(position, "PanTilt", {}, true);
                     panTilt.append_attribute("x") = numberText(pan).c_str();
                     panTilt.append_attribute("y") = numberText(tilt).c_str();
                     r.add(position, "Zoom", {}, true).append_attribute("x") = numberText(zoom).c_str();
                 }})
        .has_value();
}

std::optional<PtzStatus> Device::ptzStatus(const std::string& profileToken) {
    const std::string url = services().ptz;
    if (url.empty()) return std::nullopt;
    const auto reply =
        call({url, kPtzService, "GetStatus", [&](Request& r) { r.add(r.operation(), "ProfileToken", profileToken); }});
    if (!reply) return std::nullopt;
    auto status = readPtzStatus(*reply);
    if (!status) fail("GetStatus: the reply holds no position");
    return status;
}

std::optional<std::string> Device::presetToken(const std::string& profileToken, int number) {
    const std::string url = services().ptz;
    const auto reply =
        call({url, kPtzService, "GetPresets", [&](Request& r) { r.add(r.operation(), "ProfileToken", profileToken); }});
    if (!reply) return std::nullopt;
    const auto presets = readPresets(*reply);
    if (!presets) return std::nullopt;
    const std::string name = presetName(number);
    for (const Preset& p : *presets) {
        if (p.name == name) return p.token;
    }
    return std::string();
}

bool Device::setPreset(const std::string& profileToken, int number) {
    const std::string url = services().ptz;
    if (url.empty() || number < 1) return false;
    const std::optional<std::string> existing = presetToken(profileToken, number);
    if (!existing) return false;
    const auto reply = call({url, kPtzService, "SetPreset", [&](Request& r) {
                                 r.add(r.operation(), "ProfileToken", profileToken);
                                 r.add(r.operation(), "PresetName", presetName(number));
                                 // Overwrites the preset of that name instead of adding a second one.
                                 if (!existing->empty()) r.add(r.operation(), "PresetToken", *existing);
                             }});
    return reply.has_value() && readPresetToken(*reply).has_value();
}

bool Device::gotoPreset(const std::string& profileToken, int number) {
    const std::string url = services().ptz;
    if (url.empty() || number < 1) return false;
    const std::optional<std::string> token = presetToken(profileToken, number);
    if (!token) return false;
    if (token->empty()) {
        fail("no preset named \"" + presetName(number) + "\"");
        return false;
    }
    return call({url, kPtzService, "GotoPreset",
                 [&](Request& r) {
                     r.add(r.operation(), "ProfileToken", profileToken);
                     r.add(r.operation(), "PresetToken", *token);
                 }})
        .has_value();
}

bool Device::setRelay(bool active) {
    const ServiceAddresses addresses = services();
    const bool viaDeviceIo = !addresses.deviceIo.empty();
    const std::string& url = viaDeviceIo ? addresses.deviceIo : addresses.device;
    const Service service = viaDeviceIo ? kDeviceIoService : kDeviceService;
    std::string token;
    {
        std::lock_guard lock(mutex_);
        token = relayToken_;
    }
    if (token.empty()) {
        const auto reply = call({url, service, "GetRelayOutputs", {}});
        if (!reply) return false;
        const auto relays = readRelayOutputs(*reply);
        if (!relays || relays->empty()) {
            fail("the camera has no relay output");
            return false;
        }
        token = relays->front();
        std::lock_guard lock(mutex_);
        relayToken_ = token;
    }
    return call({url, service, "SetRelayOutputState",
                 [&](Request& r) {
                     r.add(r.operation(), "RelayOutputToken", token);
                     r.add(r.operation(), "LogicalState", active ? "active" : "inactive");
                 }})
        .has_value();
}

std::optional<std::vector<std::string>> Device::audioOutputs() {
    const std::string url = services().media;
    const auto reply = call({url, kMediaService, "GetAudioOutputs", {}});
    if (!reply) return std::nullopt;
    const auto outputs = readAudioOutputs(*reply);
    if (!outputs) fail("GetAudioOutputs: the reply lists no outputs");
    return outputs;
}

int Device::grantedSeconds(const std::string& reply) const {
    const std::optional<SubscriptionTimes> times = readSubscriptionTimes(reply);
    if (!times) return 0;
    const long long now = times->current ? *times->current : static_cast<long long>(utcNow_()) + offset_.load();
    const long long granted = times->termination - now;
    return granted > 0 && granted <= INT32_MAX ? static_cast<int>(granted) : 0;
}

std::optional<PullPoint> Device::createPullPoint() {
    const std::string url = services().events;
    if (url.empty()) {
        fail("the camera offers no event service");
        return std::nullopt;
    }
    const auto reply =
        call({url, kEventService, "CreatePullPointSubscription", [](Request& r) {
                  r.add(r.operation(), "InitialTerminationTime", "PT" + std::to_string(kSubscriptionSeconds) + "S");
              }});
    if (!reply) return std::nullopt;
    const std::optional<std::string> address = readSubscriptionAddress(*reply);
    if (!address) {
        fail("CreatePullPointSubscription: the reply holds no subscription address");
        return std::nullopt;
    }
    std::string local = rewritten(*address);
    if (local.empty()) return std::nullopt;
    return PullPoint{std::move(local), grantedSeconds(*reply)};
}

Pulled Device::pullMessages(const std::string& subscription, int waitSeconds, const CallCancel* cancel) {
    Pulled pulled;
    Operation op{subscription, kEventService, "PullMessages",
                 [&](Request& r) {
                     r.add(r.operation(), "Timeout", "PT" + std::to_string(waitSeconds) + "S");
                     r.add(r.operation(), "MessageLimit", "32");
                 },
                 kPullAction};
    op.timeoutMs = std::max(settings_.callTimeoutMs, waitSeconds * 1000 + 1000);
    op.cancel = cancel;
    op.end = &pulled.end;
    const auto reply = call(op);
    if (!reply) return pulled;
    std::optional<std::vector<Notification>> messages = readNotifications(*reply);
    if (!messages) {
        fail("PullMessages: the reply holds no PullMessagesResponse");
        pulled.end = CallEnd::Refused;
        return pulled;
    }
    pulled.messages = std::move(*messages);
    return pulled;
}

Renewed Device::renew(const std::string& subscription) {
    Renewed renewed;
    Operation op{
        subscription, kNotificationService, "Renew",
        [](Request& r) { r.add(r.operation(), "TerminationTime", "PT" + std::to_string(kSubscriptionSeconds) + "S"); },
        kRenewAction};
    op.end = &renewed.end;
    if (const auto reply = call(op)) renewed.grantedSeconds = grantedSeconds(*reply);
    return renewed;
}

bool Device::unsubscribe(const std::string& subscription, int timeoutMs) {
    Operation op{subscription, kNotificationService, "Unsubscribe", {}, kUnsubscribeAction};
    op.timeoutMs = timeoutMs;
    return call(op).has_value();
}

} // namespace onvif
