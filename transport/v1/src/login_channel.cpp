#include "login_channel.h"

#include "fenwa10/md5.h"
#include "message_channel.h"
#include "platform/worker_thread.h"
#include "transport/contract.h"
#include "transport/protocol_message.h"

#include <cstring>
#include <string>

namespace fenwa10 {

namespace {

constexpr uint32_t kAskConnectionNumber = 0;
constexpr uint32_t kLoginRequest = 1;
constexpr uint32_t kConnectionNumberAnswer = 0x10000;
constexpr uint32_t kLoginAnswer = 0x10001;

std::string fieldText(const char* field, std::size_t width) { return std::string(field, strnlen(field, width)); }

} // namespace

void LoginChannel::buildLoginRecord(const MediaConfig& config, uint32_t connectionNumber, uint8_t out[120]) {
    std::memset(out, 0, 120);
    const std::string user = Md5::hexDigest(fieldText(config.userName, sizeof config.userName));
    const std::string password = Md5::hexDigest(fieldText(config.password, sizeof config.password));
    std::memcpy(out, user.data(), user.size());
    std::memcpy(out + 40, password.data(), password.size());
    out[96] = 0;
    out[97] = 2;
    out[98] = 1;
    out[99] = 0;
    transport::putUint32Le(out + 104, connectionNumber);
    platform::parseIPv4(fieldText(config.cameraAddress, sizeof config.cameraAddress), out + 108);
    platform::parseIPv4(fieldText(config.cameraAddress + 16, sizeof config.cameraAddress - 16), out + 112);
}

bool LoginChannel::open(const MediaConfig& config) {
    close();
    const std::string host = fieldText(config.cameraAddress, sizeof config.cameraAddress);
    if (!socket_.open(host, config.registerPort, config.connectTimeoutSeconds)) {
        lastError_.store(kErrorLoginConnect);
        return false;
    }
    socket_.setReceiveTimeout(kAnswerWaitMs);
    running_.store(true);
    thread_ = platform::startWorkerThread("v1-login", [this] { receiveLoop(); });
    state_number_.store(1);
    return true;
}

uint32_t LoginChannel::requestConnectionNumber() {
    reply_.reset();
    connectionNumber_.store(0);
    if (!sendMessage(socket_, platform::deadlineAfter(kSendWaitMs), kAskConnectionNumber)) return 0;
    if (!reply_.wait(kAnswerWaitMs)) return 0;
    return connectionNumber_.load();
}

bool LoginChannel::login(const MediaConfig& config, uint32_t connectionNumber) {
    uint8_t record[120];
    buildLoginRecord(config, connectionNumber, record);
    reply_.reset();
    loginAccepted_.store(false);
    loginAnswered_.store(false);
    if (!sendMessage(socket_, platform::deadlineAfter(kSendWaitMs), kLoginRequest, record, sizeof record)) return false;
    state_number_.store(2);
    if (!reply_.wait(kAnswerWaitMs) || !loginAccepted_.load()) return false;
    state_number_.store(4);
    return true;
}

void LoginChannel::receiveLoop() {
    uint8_t buffer[transport::kMaxMessageSize];
    while (running_.load() && socket_.isOpen()) {
        std::size_t got = 0;
        bool ended = false;
        while (got < transport::kMessageHeaderSize) {
            if (!running_.load()) return;
            int n = socket_.receive(buffer + got, transport::kMessageHeaderSize - got);
            if (n == kReceiveFailed) {
                lastError_.store(socket_.lastError());
                return;
            }
            if (n == kReceiveTimedOut) {
                if (state_.connectionLost.load()) return;
                std::this_thread::yield();
                continue;
            }
            got += static_cast<std::size_t>(n);
        }
        transport::MessageHeader header;
        if (!transport::parseMessageHeader(buffer, header) || header.payloadLength > transport::kMaxMessagePayload) {
            return;
        }
        uint8_t* payload = buffer + transport::kMessageHeaderSize;
        std::size_t have = 0;
        while (have < header.payloadLength) {
            if (!running_.load()) return;
            int n = socket_.receive(payload + have, header.payloadLength - have);
            if (n == kReceiveFailed) {
                lastError_.store(socket_.lastError());
                return;
            }
            if (n == kReceiveTimedOut) {
                if (state_.connectionLost.load()) return;
                continue;
            }
            have += static_cast<std::size_t>(n);
        }
        if (header.type == kConnectionNumberAnswer) {
            connectionNumber_.store(header.payloadLength >= 4 ? transport::getUint32Le(payload) : 0);
            reply_.set();
        } else if (header.type == kLoginAnswer) {
            loginAccepted_.store(header.payloadLength >= 1 && payload[0] != 0);
            loginAnswered_.store(true);
            reply_.set();
            ended = true;
        }
        if (ended) return;
    }
}

void LoginChannel::abort() {
    running_.store(false);
    socket_.shutdown();
    reply_.set();
}

void LoginChannel::close() {
    running_.store(false);
    socket_.shutdown();
    if (thread_.joinable()) thread_.join();
    socket_.close();
    state_number_.store(0);
}

} // namespace fenwa10
