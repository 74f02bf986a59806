#include "audio_sender.h"

#include <cstring>
#include <new>

namespace ostrel {

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kReplyTimeoutMs = 1000;
// A camera that stops reading must not hold the device thread for ever.
constexpr int kSendTimeoutMs = 1000;
static_assert(Microphone::kBufferBytes == kAudioPacketBytes);
constexpr std::size_t kPacketSize = transport::kMessageHeaderSize + kAudioPacketBytes;

bool sendEmptyMessage(platform::TcpSocket& socket, uint32_t type) {
    uint8_t message[transport::kMessageHeaderSize];
    transport::buildMessage(message, type, nullptr, 0);
    return socket.sendAll(message, sizeof message, platform::deadlineAfter(kSendTimeoutMs)).ok;
}

} // namespace

AudioSender::AudioSender(const platform::Clock& clock, DeviceSource devices) : microphone_(clock, std::move(devices)) {}

AudioSender::~AudioSender() {
    std::lock_guard lock(callerLock_);
    microphone_.stop();
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
    microphone_.stop();
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
    microphone_.stop();
    release();
}

bool AudioSender::startCapture() {
    std::lock_guard lock(callerLock_);
    if (!socket_.isOpen()) return false;
    microphone_.stop();
    packet_.reset(new (std::nothrow) uint8_t[kPacketSize]);
    if (!packet_) return false;
    std::memset(packet_.get(), 0, kPacketSize);
    return microphone_.start([this](const uint8_t* data, std::size_t bytes) { onBuffer(data, bytes); });
}

void AudioSender::stopCapture() {
    std::lock_guard lock(callerLock_);
    microphone_.stop();
}

void AudioSender::onBuffer(const uint8_t* data, std::size_t bytes) {
    if (packet_) {
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
}

} // namespace ostrel
