#include "control_channel.h"

#include "message_channel.h"
#include "platform/worker_thread.h"
#include "transport/protocol_message.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fenwa10 {

namespace {

constexpr uint32_t kAttach = 2;
constexpr uint32_t kKeepAlive = 3;
constexpr uint32_t kBye = 18;
constexpr uint32_t kAskMotion = 21;
constexpr uint32_t kAskVideoConfig = 32;
constexpr uint32_t kStreamPrepare = 33;
constexpr uint32_t kStreamStart = 34;
constexpr uint32_t kStreamStartType4 = 35; // also the first message of a disconnection

constexpr uint32_t kAttachAnswer = 0x10002;
constexpr uint32_t kKeepAliveAnswer = 0x10003;
constexpr uint32_t kDigitalInputNotice = 0x1000C;
constexpr uint32_t kMotionNotice = 0x1000E;
constexpr uint32_t kStatusNotice = 0x10013;
constexpr uint32_t kMotionAnswer = 0x10015;
constexpr uint32_t kVideoConfigAnswer = 0x10020;
constexpr uint32_t kGenericAnswer = 0x10021;

constexpr int kHeaderTimeoutsBeforeLoss = 6;
constexpr int64_t kKeepAliveAfterSeconds = 5;
constexpr int64_t kLossAfterSeconds = 90;
constexpr std::size_t kStatusBlockSize = 64;
constexpr int kControlTimeoutMs = 5000;

} // namespace

uint8_t ControlChannel::digitalInputFromNotice(uint8_t b) {
    switch (b) {
    case 0:
    case 15: return 3;
    case 1:
    case 14: return 2;
    case 2:
    case 13: return 1;
    case 3:
    case 12: return 0;
    default: return b;
    }
}

bool ControlChannel::open(const MediaConfig& config) {
    close();
    const std::string host(config.cameraAddress, strnlen(config.cameraAddress, sizeof config.cameraAddress));
    if (!socket_.open(host, config.controlPort, config.connectTimeoutSeconds)) {
        lastError_.store(kErrorControlConnect);
        return false;
    }
    socket_.setReceiveTimeout(kControlTimeoutMs);
    {
        std::lock_guard<std::mutex> lock(dataMutex_);
        status_ = StatusBytes{};
        statusFlag_ = 0;
    }
    running_.store(true);
    threadEnded_.store(false);
    state_.connectionLost.store(false);
    thread_ = platform::startWorkerThread("v1-control", [this] {
        receiveLoop();
        threadEnded_.store(true);
    });
    stateNumber_.store(1);
    return true;
}

bool ControlChannel::send(uint32_t type, const void* payload, std::size_t length) {
    // Waiting for another sender counts against the same deadline, so a
    // queue of callers behind a camera that stopped reading cannot add up.
    const platform::Deadline deadline = platform::deadlineAfter(kSendWaitMs);
    std::unique_lock<platform::TimedMutex> lock(sendMutex_, deadline);
    if (!lock.owns_lock() || stateNumber_.load() < 1) return false;
    return sendMessage(socket_, deadline, type, payload, length);
}

bool ControlChannel::attach(uint32_t connectionNumber) {
    uint8_t payload[4];
    transport::putUint32Le(payload, connectionNumber);
    attachReply_.reset();
    attachAccepted_.store(false);
    if (!send(kAttach, payload, sizeof payload)) return false;
    if (!attachReply_.wait(kControlTimeoutMs) || !attachAccepted_.load()) return false;
    stateNumber_.store(4);
    return true;
}

bool ControlChannel::requestVideoConfig(CameraVideoConfig& out) {
    videoReply_.reset();
    if (!send(kAskVideoConfig)) return false;
    if (!videoReply_.wait(kControlTimeoutMs)) return false;
    std::lock_guard<std::mutex> lock(dataMutex_);
    out = videoConfig_;
    return true;
}

bool ControlChannel::requestMotionInfo(uint8_t out[kMotionInfoSize]) {
    motionReply_.reset();
    if (!send(kAskMotion)) return false;
    if (!motionReply_.wait(kControlTimeoutMs)) return false;
    std::lock_guard<std::mutex> lock(dataMutex_);
    std::memcpy(out, motionInfo_.data(), kMotionInfoSize);
    return true;
}

bool ControlChannel::prepareStream() {
    genericReply_.reset();
    return send(kStreamPrepare);
}

bool ControlChannel::startStream(bool connectionType4) {
    genericReply_.reset();
    const bool sent = send(connectionType4 ? kStreamStartType4 : kStreamStart);
    const int64_t now = state_.nowSeconds();
    lastCheckSeconds_.store(now);
    lastAnswerSeconds_.store(now);
    streaming_.store(true);
    return sent;
}

void ControlChannel::setCallback(void* context, ControlDataCallback callback) {
    std::lock_guard<std::mutex> lock(callbackMutex_);
    callbackContext_ = context;
    callback_ = callback;
}

StatusBytes ControlChannel::takeStatusBytes() {
    std::lock_guard<std::mutex> lock(dataMutex_);
    StatusBytes taken = status_;
    status_.motion = 0;
    status_.digitalInput = 3;
    return taken;
}

StatusBytes ControlChannel::peekStatusBytes() const {
    std::lock_guard<std::mutex> lock(dataMutex_);
    return status_;
}

bool ControlChannel::keepAliveCheck() {
    const int64_t now = state_.nowSeconds();
    lastCheckSeconds_.store(now);
    const int64_t age = std::llabs(now - lastAnswerSeconds_.load());
    if (age > kLossAfterSeconds) return false;
    if (age < kKeepAliveAfterSeconds) return true;
    return send(kKeepAlive);
}

void ControlChannel::forward(const uint8_t* data, std::size_t length) {
    void* context = nullptr;
    ControlDataCallback callback = nullptr;
    {
        std::lock_guard<std::mutex> lock(callbackMutex_);
        context = callbackContext_;
        callback = callback_;
    }
    if (callback != nullptr) callback(context, data, static_cast<int32_t>(length));
}

void ControlChannel::declareLost() {
    running_.store(false);
    // The flag goes up first, so whoever hears the notice finds it set.
    state_.connectionLost.store(true);
    const int32_t notice = transport::kNetworkLossNotice;
    forward(reinterpret_cast<const uint8_t*>(&notice), sizeof notice);
}

void ControlChannel::dispatch(uint32_t type, const uint8_t* message, std::size_t messageLength) {
    const uint8_t* payload = message + transport::kMessageHeaderSize;
    const std::size_t payloadLength = messageLength - transport::kMessageHeaderSize;
    const uint8_t* forwarded = message + 4;
    const std::size_t forwardedLength = messageLength - 4;
    switch (type) {
    case kAttachAnswer:
        attachAccepted_.store(payloadLength >= 1 && payload[0] != 0);
        attachReply_.set();
        return;
    case kKeepAliveAnswer: lastAnswerSeconds_.store(state_.nowSeconds()); return;
    case kMotionAnswer: {
        std::lock_guard<std::mutex> lock(dataMutex_);
        motionInfo_.fill(0);
        std::memcpy(motionInfo_.data(), payload, std::min(payloadLength, kMotionInfoSize));
        motionReply_.set();
        return;
    }
    case kVideoConfigAnswer: {
        std::lock_guard<std::mutex> lock(dataMutex_);
        videoConfig_.fill(0);
        std::memcpy(videoConfig_.data(), payload, std::min(payloadLength, kCameraVideoConfigSize));
        videoReply_.set();
        return;
    }
    case kGenericAnswer: genericReply_.set(); return;
    case kDigitalInputNotice:
        if (payloadLength >= 1) {
            std::lock_guard<std::mutex> lock(dataMutex_);
            status_.digitalInput = digitalInputFromNotice(payload[0]);
        }
        break;
    case kMotionNotice:
        if (payloadLength >= 1) {
            std::lock_guard<std::mutex> lock(dataMutex_);
            status_.motion = payload[0];
        }
        break;
    case kStatusNotice:
        if (payloadLength >= 1) {
            const uint8_t b = payload[0];
            uint8_t derived;
            {
                std::lock_guard<std::mutex> lock(dataMutex_);
                if ((b & 0x01) != 0) {
                    status_.status = 0;
                    statusFlag_ = 1;
                } else if ((b & 0xF0) != 0) {
                    status_.status = b;
                    statusFlag_ = 1;
                } else {
                    status_.status = 1;
                    statusFlag_ = 0;
                }
                derived = status_.status;
            }
            // The forwarded copy carries the derived status in its last byte;
            // it is at most the 64-byte block long.
            uint8_t block[kStatusBlockSize] = {};
            const std::size_t length = std::min(forwardedLength, kStatusBlockSize);
            std::memcpy(block, forwarded, length);
            block[length - 1] = derived;
            forward(block, length);
            return;
        }
        break;
    default: break;
    }
    forward(forwarded, forwardedLength);
}

void ControlChannel::receiveLoop() {
    uint8_t buffer[transport::kMaxMessageSize + 1] = {};
    std::size_t got = 0;
    int headerTimeouts = 0;
    while (running_.load() && socket_.isOpen()) {
        if (streaming_.load() && !keepAliveCheck()) {
            declareLost();
            return;
        }
        bool restart = false;
        while (got < transport::kMessageHeaderSize) {
            if (!running_.load()) return;
            int n = socket_.receive(buffer + got, transport::kMessageHeaderSize - got);
            if (n == kReceiveFailed) {
                if (!running_.load()) return; // our own close woke us
                lastError_.store(socket_.lastError());
                declareLost();
                return;
            }
            if (n == kReceiveTimedOut) {
                if (++headerTimeouts >= kHeaderTimeoutsBeforeLoss) {
                    declareLost();
                    return;
                }
                std::this_thread::yield();
                restart = true;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (restart) continue;

        transport::MessageHeader header;
        if (!transport::parseMessageHeader(buffer, header) || header.payloadLength > transport::kMaxMessagePayload) {
            declareLost();
            return;
        }
        std::size_t have = 0;
        bool timedOutOnce = false;
        while (have < header.payloadLength) {
            if (!running_.load()) return;
            int n = socket_.receive(buffer + transport::kMessageHeaderSize + have, header.payloadLength - have);
            if (n == kReceiveFailed) {
                if (!running_.load()) return;
                lastError_.store(socket_.lastError());
                declareLost();
                return;
            }
            if (n == kReceiveTimedOut) {
                if (timedOutOnce) {
                    declareLost();
                    return;
                }
                timedOutOnce = true;
                std::this_thread::yield();
                continue;
            }
            have += static_cast<std::size_t>(n);
        }
        dispatch(header.type, buffer, transport::kMessageHeaderSize + header.payloadLength);
        std::memset(buffer, 0, transport::kMessageHeaderSize + header.payloadLength);
        got = 0;
        headerTimeouts = 0;
    }
}

void ControlChannel::close() {
    {
        const platform::Deadline deadline = platform::deadlineAfter(kSendWaitMs);
        std::unique_lock<platform::TimedMutex> lock(sendMutex_, deadline);
        // Without the lock another sender is stuck on a camera that stopped
        // reading; the farewell would not get through either.
        if (lock.owns_lock() && socket_.isOpen()) {
            sendMessage(socket_, deadline, kStreamStartType4);
            sendMessage(socket_, deadline, kBye);
        }
        running_.store(false);
        socket_.shutdown(); // wakes the receive thread and any sender at once
    }
    if (thread_.joinable()) thread_.join();
    {
        std::lock_guard<platform::TimedMutex> lock(sendMutex_);
        socket_.close();
        stateNumber_.store(0);
    }
    streaming_.store(false);
}

void ControlChannel::abort() {
    running_.store(false);
    socket_.shutdown();
    attachReply_.set();
    videoReply_.set();
    motionReply_.set();
    genericReply_.set();
}

} // namespace fenwa10
