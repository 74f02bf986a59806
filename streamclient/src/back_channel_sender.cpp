#include "back_channel_sender.h"

#include <cstring>

namespace ostrel {

namespace {

constexpr int32_t kReasonBytes = 256;

} // namespace

BackChannelSender::BackChannelSender(const platform::Clock& clock, Microphone::DeviceSource devices)
    : microphone_(clock, std::move(devices)) {}

BackChannelSender::~BackChannelSender() { close(); }

bool BackChannelSender::carries(const TransportPlugin& transport) {
    const TransportTable& t = transport.table();
    return transport.instance() != nullptr && t.checkBackChannel != nullptr && t.openBackChannel != nullptr &&
           t.sendBackChannelAudio != nullptr && t.closeBackChannel != nullptr;
}

int32_t BackChannelSender::check(const TransportPlugin& transport) {
    std::lock_guard lock(callerLock_);
    if (!carries(transport)) return 0;
    char why[kReasonBytes] = {};
    const int32_t result = transport.table().checkBackChannel(transport.instance(), why, kReasonBytes);
    setReason(result != 0 ? std::string() : std::string(why));
    return result != 0 ? 1 : 0;
}

bool BackChannelSender::open(const TransportPlugin& transport) {
    close();
    std::lock_guard lock(callerLock_);
    if (!carries(transport)) return false;
    char why[kReasonBytes] = {};
    if (transport.table().openBackChannel(transport.instance(), why, kReasonBytes) == 0) {
        setReason(why[0] != '\0' ? why : "the camera did not open its back channel");
        return false;
    }
    setReason({});
    transport_ = &transport;
    return true;
}

void BackChannelSender::close() {
    std::lock_guard lock(callerLock_);
    microphone_.stop();
    if (transport_ == nullptr) return;
    transport_->table().closeBackChannel(transport_->instance());
    transport_ = nullptr;
}

bool BackChannelSender::startCapture() {
    std::lock_guard lock(callerLock_);
    if (transport_ == nullptr) return false;
    microphone_.stop();
    return microphone_.start([this](const uint8_t* data, std::size_t bytes) { onBuffer(data, bytes); });
}

void BackChannelSender::stopCapture() {
    std::lock_guard lock(callerLock_);
    microphone_.stop();
}

bool BackChannelSender::send(const int16_t* samples, std::size_t count) {
    std::lock_guard lock(callerLock_);
    if (transport_ == nullptr || microphone_.isCapturing() || samples == nullptr || count == 0 ||
        count > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    return transport_->table().sendBackChannelAudio(transport_->instance(), samples, static_cast<int32_t>(count)) != 0;
}

// The device thread; the caller's side stops the microphone before it lets
// go of the transport.
void BackChannelSender::onBuffer(const uint8_t* data, std::size_t bytes) {
    int16_t samples[Microphone::kBufferBytes / sizeof(int16_t)];
    const std::size_t n = std::min(bytes, sizeof samples);
    std::memcpy(samples, data, n);
    // A lost buffer is not reported; the next one is tried.
    transport_->table().sendBackChannelAudio(transport_->instance(), samples,
                                             static_cast<int32_t>(n / sizeof(int16_t)));
}

std::string BackChannelSender::reason() const {
    std::lock_guard lock(reasonLock_);
    return reason_;
}

void BackChannelSender::setReason(std::string why) {
    std::lock_guard lock(reasonLock_);
    reason_ = std::move(why);
}

} // namespace ostrel
