#include "audio_sender.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace ostrel {

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kReplyTimeoutMs = 1000;
// A camera that stops reading must not hold the device thread for ever.
constexpr int kSendTimeoutMs = 1000;
constexpr int kStopAcknowledgeMs = 1000;
constexpr auto kDeviceSettle = std::chrono::milliseconds(100);
constexpr std::size_t kPacketSize = transport::kMessageHeaderSize + kAudioPacketBytes;

bool sendEmptyMessage(platform::TcpSocket& socket, uint32_t type) {
    uint8_t message[transport::kMessageHeaderSize];
    transport::buildMessage(message, type, nullptr, 0);
    return socket.sendAll(message, sizeof message, platform::deadlineAfter(kSendTimeoutMs)).ok;
}

} // namespace

AudioSender::AudioSender(const platform::Clock& clock, DeviceSource devices)
    : clock_(clock), deviceSource_(std::move(devices)) {}

AudioSender::~AudioSender() {
    std::lock_guard lock(callerLock_);
    stopCaptureLocked();
    release();
    packet_.reset();
}

bool AudioSender::connect() {
    socket_.close();
    const int32_t port = block_.controlPort;
    if (port <= 0 || port > 65535 ||
        !socket_.connect(block_.cameraAddress, static_cast<uint16_t>(port), kConnectTimeoutMs)) {
        socket_.close();
        return false;
    }
    return true;
}

void AudioSender::release() {
    if (socket_.isOpen()) {
        sendEmptyMessage(socket_, kMessageRelease);
        socket_.shutdown();
        socket_.close();
    }
}

bool AudioSender::getToken(const MediaConfig& config, char* holder) {
    std::lock_guard lock(callerLock_);
    // The connection is about to be replaced; the device thread must not be
    // sending on it.
    stopCaptureLocked();
    block_ = makeConnectionBlock(config);
    if (!connect()) return false;

    const auto request = buildTokenRequest(block_);
    uint8_t reply[kTokenBlockSize] = {};
    // Request and whole reply within one deadline, however the camera paces
    // its bytes.
    const platform::Deadline deadline = platform::deadlineAfter(kReplyTimeoutMs);
    bool complete = socket_.sendAll(request.data(), request.size(), deadline).ok &&
                    socket_.receiveAll(reply, sizeof reply, deadline).status == platform::RecvStatus::Ok;
    bool granted = false;
    if (complete) {
        const TokenReply parsed = parseTokenReply(reply);
        holder_ = parsed.holder;
        granted = parsed.granted;
    }
    if (granted) {
        if (holder != nullptr) holder[0] = '\0';
        return true;
    }
    if (holder != nullptr) formatHolder(holder_, holder);
    release();
    return false;
}

void AudioSender::freeToken() {
    std::lock_guard lock(callerLock_);
    stopCaptureLocked();
    release();
}

bool AudioSender::startCapture() {
    std::lock_guard lock(callerLock_);
    if (!socket_.isOpen()) return false;
    stopCaptureLocked();

    if (!devices_ && deviceSource_) devices_ = deviceSource_();
    std::unique_ptr<platform::AudioInput> input = devices_ ? devices_->makeInput() : nullptr;
    if (!input) return false;
    stopping_.store(false);
    if (!input->open(format_, kAudioPacketBytes,
                     [this](const uint8_t* data, std::size_t bytes) { onBuffer(data, bytes); })) {
        return false;
    }
    packet_.reset(new (std::nothrow) uint8_t[kPacketSize]);
    if (!packet_) {
        input->close();
        return false;
    }
    std::memset(packet_.get(), 0, kPacketSize);
    input_ = std::move(input);
    if (!input_->start()) {
        input_->close();
        input_.reset();
        return false;
    }
    return true;
}

void AudioSender::stopCapture() {
    std::lock_guard lock(callerLock_);
    stopCaptureLocked();
}

void AudioSender::stopCaptureLocked() {
    if (!input_) return;
    // Hand the stop over to a buffer in flight, then take the device down;
    // the socket stays untouched until the handler is done with it.
    stopAcknowledged_.reset();
    stopping_.store(true);
    clock_.waitFor(stopAcknowledged_, kStopAcknowledgeMs);
    input_->stop();
    std::this_thread::sleep_for(kDeviceSettle);
    input_->close();
    input_.reset();
}

void AudioSender::onBuffer(const uint8_t* data, std::size_t bytes) {
    if (!stopping_.load() && packet_) {
        if (packetCounter_ > kPacketsBetweenKeepAlives) {
            packetCounter_ = 0;
            sendEmptyMessage(socket_, kMessageKeepAlive);
        } else {
            ++packetCounter_;
        }
        uint8_t* buffer = packet_.get() + transport::kMessageHeaderSize;
        const std::size_t n = bytes < kAudioPacketBytes ? bytes : kAudioPacketBytes;
        std::memcpy(buffer, data, n);
        transport::buildMessage(packet_.get(), kMessageAudio, nullptr, kAudioPacketBytes);
        // A lost packet is not reported; the next one is tried.
        socket_.sendAll(packet_.get(), kPacketSize, platform::deadlineAfter(kSendTimeoutMs));
        std::memset(buffer, 0, kAudioPacketBytes);
    }
    if (stopping_.load()) stopAcknowledged_.set();
}

} // namespace ostrel
