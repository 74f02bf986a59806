#include "media_channel.h"

#include "message_channel.h"
#include "transport/protocol_message.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace fenwa10 {

namespace {

constexpr uint32_t kAttach = 2;
constexpr std::size_t kAttachAnswerSize = 20;
constexpr std::size_t kStreamHeaderMessageSize = 33;
constexpr int kIntraSearchFailureLimit = 16;
// Room for the largest message plus read-ahead.
constexpr std::size_t kReadBufferSize = kMaxVideoMessage + 65536;
constexpr std::size_t kReadAhead = 16384;

} // namespace

MediaChannel::MediaChannel(InstanceState& state)
    : state_(state), receive_(new uint8_t[kReadBufferSize]), staging_(new uint8_t[kMaxRecord]) {}

bool MediaChannel::open(const MediaConfig& config) {
    close();
    const std::string host(config.cameraAddress, strnlen(config.cameraAddress, sizeof config.cameraAddress));
    std::lock_guard<std::mutex> lock(readMutex_);
    if (!socket_.open(host, config.streamingPort, config.connectTimeoutSeconds)) {
        lastError_.store(kErrorMediaConnect);
        stateNumber_.store(0);
        return false;
    }
    socket_.setReceiveTimeout(silentReadTimeoutMs_);
    readStart_ = readEnd_ = 0;
    stateNumber_.store(1);
    return true;
}

bool MediaChannel::attach(uint32_t connectionNumber) {
    std::lock_guard<std::mutex> lock(readMutex_);
    const int current = stateNumber_.load();
    if (current != 1) {
        lastError_.store(current == 0 ? kErrorMediaNotConnected : kErrorMediaWrongState);
        return false;
    }
    uint8_t payload[4];
    transport::putUint32Le(payload, connectionNumber);
    uint8_t answer[kAttachAnswerSize] = {};
    // The whole answer within the media time-out, however it is paced.
    const platform::Deadline deadline = platform::deadlineAfter(kMediaTimeoutMs);
    if (sendMessage(socket_, deadline, kAttach, payload, sizeof payload) &&
        socket_.receiveExactly(answer, sizeof answer, deadline) && answer[12] != 0) {
        stateNumber_.store(4);
        lastError_.store(0);
        intraMemory_ = IntraMemory{};
        return true;
    }
    lastError_.store(kErrorMediaRefused);
    socket_.close();
    stateNumber_.store(0);
    return false;
}

bool MediaChannel::receiveStreamHeader() {
    std::lock_guard<std::mutex> lock(readMutex_);
    uint8_t message[kStreamHeaderMessageSize];
    if (!socket_.receiveExactly(message, sizeof message, platform::deadlineAfter(kMediaTimeoutMs))) return false;
    std::memcpy(streamHeader_, message + 12, sizeof streamHeader_);
    return true;
}

void MediaChannel::setCameraConfig(const CameraVideoConfig& config) {
    std::lock_guard<std::mutex> lock(configMutex_);
    cameraConfig_ = config;
}

FrameFields MediaChannel::fieldsFromConfig() {
    std::lock_guard<std::mutex> lock(configMutex_);
    FrameFields f;
    f.resolutionCode = static_cast<int32_t>(transport::getUint32Le(cameraConfig_.data() + 8));
    f.bitRateCode = static_cast<int32_t>(transport::getUint32Le(cameraConfig_.data() + 12));
    f.frameRate = transport::getUint16Le(cameraConfig_.data() + 40);
    f.configValue = transport::getUint16Le(cameraConfig_.data() + 42);
    return f;
}

void MediaChannel::abort() { socket_.shutdown(); }

void MediaChannel::close() {
    socket_.shutdown(); // a reader blocked in receive returns at once
    std::lock_guard<std::mutex> lock(readMutex_);
    socket_.close();
    stateNumber_.store(0);
}

std::size_t MediaChannel::receiveSome(uint8_t* dst, std::size_t max) {
    for (;;) {
        const int got = socket_.receive(dst, max);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got == kReceiveTimedOut && !state_.connectionLost.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
            continue;
        }
        // A receive error, a close by the camera, or a silence after the
        // control channel declared the connection lost.
        if (got == kReceiveFailed) lastError_.store(socket_.lastError());
        socket_.markBroken();
        stateNumber_.store(0);
        return 0;
    }
}

bool MediaChannel::receiveInto(uint8_t* dst, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const std::size_t r = receiveSome(dst + got, n - got);
        if (r == 0) return false;
        got += r;
    }
    return true;
}

MediaChannel::ReadResult MediaChannel::fill(std::size_t n) {
    uint8_t* buffer = receive_.get();
    if (readStart_ == readEnd_) readStart_ = readEnd_ = 0;
    if (readStart_ + n > kReadBufferSize) {
        std::memmove(buffer, buffer + readStart_, readEnd_ - readStart_);
        readEnd_ -= readStart_;
        readStart_ = 0;
    }
    while (readEnd_ - readStart_ < n) {
        // Read ahead a bounded amount: small messages come many to a receive,
        // while most of a large one is left for the caller's buffer.
        const std::size_t missing = n - (readEnd_ - readStart_);
        const std::size_t room = kReadBufferSize - readEnd_;
        const std::size_t got = receiveSome(buffer + readEnd_, std::min(room, std::max(missing, kReadAhead)));
        if (got == 0) return ReadResult::Closed;
        readEnd_ += got;
    }
    return ReadResult::Ok;
}

MediaChannel::ReadResult MediaChannel::skipRest(std::size_t length) {
    std::size_t left = length;
    while (left > 0) {
        const std::size_t buffered = std::min(left, readEnd_ - readStart_);
        readStart_ += buffered;
        left -= buffered;
        if (left == 0) break;
        if (fill(1) != ReadResult::Ok) return ReadResult::Closed;
    }
    return ReadResult::Ok;
}

int32_t MediaChannel::readRecord(ControlChannel& control, uint8_t* out, std::size_t capacity, bool consumeStatus,
                                 bool& closed) {
    closed = false;
    if (!socket_.isOpen()) {
        closed = true;
        return -1;
    }
    if (fill(kVideoMessageHeaderSize) != ReadResult::Ok) {
        closed = true;
        return -1;
    }
    const uint8_t* header = receive_.get() + readStart_;
    const uint32_t payload = transport::getUint32Le(header + 8);
    if (std::memcmp(header, transport::kMessageMagic, 4) != 0 || payload > kMaxVideoPayload) {
        // The header is used up; the next read goes on from the bytes after it.
        readStart_ += kVideoMessageHeaderSize;
        return -1;
    }
    const std::size_t length = kVideoMessageHeaderSize + payload;
    // What decides the class must be at hand; the rest of a large message
    // may still be on its way and goes straight to the caller's buffer.
    if (fill(std::min(length, kClassifyBytes)) != ReadResult::Ok) {
        closed = true;
        return -1;
    }
    const uint8_t* message = receive_.get() + readStart_;
    const std::size_t have = std::min(length, readEnd_ - readStart_);
    const FrameClass kind = classifyMessage(message, have);
    FrameFields fields = fieldsFromConfig();
    // A message too short to hold the camera header cannot be built from;
    // one that would not fit the caller's buffer is skipped, never cut.
    const bool usable = kind != FrameClass::None && length >= kVideoMessageHeaderSize + kCameraHeaderSize &&
                        fieldsUsable(fields) && recordSize(kind, length) <= capacity;
    if (!usable) {
        if (skipRest(length) != ReadResult::Ok) closed = true;
        return -1;
    }
    // Taking the bytes resets motion and digital input in the same step, so a
    // notice that arrives while the reader waits shows in the next frame.
    const StatusBytes bytes = consumeStatus ? control.takeStatusBytes() : control.peekStatusBytes();
    fields.status = bytes.status;
    fields.motion = bytes.motion;
    fields.digitalInput = bytes.digitalInput;
    buildRecordHead(message, length, kind, fields, intraMemory_, out);
    const std::size_t from = messageDataStart(kind);
    uint8_t* data = out + recordDataStart(kind);
    std::memcpy(data, message + from, have - from);
    readStart_ += have;
    if (have < length && !receiveInto(data + (have - from), length - have)) {
        closed = true;
        return -1;
    }
    return static_cast<int32_t>(recordSize(kind, length));
}

int32_t MediaChannel::nextFrame(ControlChannel& control, uint8_t* out, std::size_t capacity) {
    std::lock_guard<std::mutex> lock(readMutex_);
    bool closed = false;
    return readRecord(control, out, capacity, true, closed);
}

int32_t MediaChannel::skipToIntraFrame(ControlChannel& control) {
    std::lock_guard<std::mutex> lock(readMutex_);
    int failures = 0;
    for (;;) {
        bool closed = false;
        const int32_t n = readRecord(control, staging_.get(), kMaxRecord, false, closed);
        if (n < 0) {
            if (closed || ++failures >= kIntraSearchFailureLimit) return -1;
            continue;
        }
        failures = 0;
        if (transport::isIFrameRecord(staging_.get(), static_cast<std::size_t>(n))) {
            control.takeStatusBytes();
            return n;
        }
    }
}

} // namespace fenwa10
