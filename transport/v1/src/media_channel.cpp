#include "media_channel.h"

#include "message_channel.h"
#include "transport/protocol_message.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace fenwa10 {

namespace {

constexpr uint32_t kAttach = 2;
constexpr int kMediaTimeoutMs = 15000;
constexpr std::size_t kAttachAnswerSize = 20;
constexpr std::size_t kStreamHeaderMessageSize = 33;
constexpr int kIntraSearchFailureLimit = 16;

uint16_t getUint16Le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

} // namespace

MediaChannel::MediaChannel(InstanceState& state)
    : state_(state), receive_(new uint8_t[kMaxVideoMessage]), staging_(new uint8_t[kMaxRecord]) {}

bool MediaChannel::open(const MediaConfig& config) {
    close();
    const std::string host(config.cameraAddress, strnlen(config.cameraAddress, sizeof config.cameraAddress));
    std::lock_guard<std::mutex> lock(readMutex_);
    if (!socket_.open(host, config.streamingPort, config.connectTimeoutSeconds)) {
        lastError_.store(kErrorMediaConnect);
        stateNumber_.store(0);
        return false;
    }
    socket_.setReceiveTimeout(kMediaTimeoutMs);
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
    if (sendMessage(socket_, kAttach, payload, sizeof payload) && socket_.receiveExactly(answer, sizeof answer) &&
        answer[12] != 0) {
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
    if (!socket_.receiveExactly(message, sizeof message)) return false;
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
    f.frameRate = getUint16Le(cameraConfig_.data() + 40);
    f.configValue = getUint16Le(cameraConfig_.data() + 42);
    return f;
}

void MediaChannel::close() {
    socket_.shutdown(); // a reader blocked in receive returns at once
    std::lock_guard<std::mutex> lock(readMutex_);
    socket_.close();
    stateNumber_.store(0);
}

MediaChannel::ReadResult MediaChannel::readMessage(std::size_t& length) {
    uint8_t* buffer = receive_.get();
    if (!socket_.isOpen()) return ReadResult::Closed;
    std::size_t got = 0;
    std::size_t want = kVideoMessageHeaderSize;
    bool headerChecked = false;
    while (got < want) {
        int n = socket_.receive(buffer + got, want - got);
        if (n == kReceiveFailed) {
            lastError_.store(socket_.lastError());
            socket_.markBroken();
            stateNumber_.store(0);
            return ReadResult::Closed;
        }
        if (n == kReceiveTimedOut) {
            if (state_.connectionLost.load()) {
                socket_.markBroken();
                stateNumber_.store(0);
                return ReadResult::Closed;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
            continue;
        }
        got += static_cast<std::size_t>(n);
        if (!headerChecked && got >= kVideoMessageHeaderSize) {
            headerChecked = true;
            if (std::memcmp(buffer, transport::kMessageMagic, 4) != 0) return ReadResult::Failed;
            const uint32_t payload = transport::getUint32Le(buffer + 8);
            if (payload > kMaxVideoPayload) return ReadResult::Failed;
            want = kVideoMessageHeaderSize + payload;
        }
    }
    length = want;
    return ReadResult::Ok;
}

int32_t MediaChannel::readRecord(ControlChannel& control, uint8_t* out, std::size_t capacity, bool consumeStatus,
                                 bool& closed) {
    closed = false;
    std::size_t length = 0;
    ReadResult r = readMessage(length);
    if (r != ReadResult::Ok) {
        closed = r == ReadResult::Closed;
        return -1;
    }
    const uint8_t* message = receive_.get();
    const FrameClass kind = classifyMessage(message, length);
    if (kind == FrameClass::None) return -1;
    // A message too short to hold the camera header cannot be built from.
    if (length < kVideoMessageHeaderSize + kCameraHeaderSize) return -1;
    FrameFields fields = fieldsFromConfig();
    if (!fieldsUsable(fields)) return -1;
    const std::size_t size = recordSize(kind, length);
    if (size > capacity) return -1;
    // Taking the bytes resets motion and digital input in the same step, so a
    // notice that arrives while the reader waits shows in the next frame.
    const StatusBytes bytes = consumeStatus ? control.takeStatusBytes() : control.peekStatusBytes();
    fields.status = bytes.status;
    fields.motion = bytes.motion;
    fields.digitalInput = bytes.digitalInput;
    return static_cast<int32_t>(buildRecord(message, length, kind, fields, intraMemory_, out));
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
