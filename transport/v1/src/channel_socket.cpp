#include "channel_socket.h"

#include <algorithm>

namespace fenwa10 {

bool ChannelSocket::open(const std::string& host, int32_t port, int32_t connectTimeoutSeconds, int receiveBufferSize,
                         int sendBufferSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    socket_.close();
    open_.store(false);
    if (port <= 0 || port > 65535) {
        lastError_.store(22);
        return false;
    }
    const int steps = std::max<int32_t>(1, std::min<int32_t>(connectTimeoutSeconds, 3600));
    if (!socket_.connect(host, static_cast<uint16_t>(port), steps * 1000)) {
        lastError_.store(socket_.lastError());
        socket_.close();
        return false;
    }
    if (receiveBufferSize > 0) socket_.setReceiveBufferSize(receiveBufferSize);
    if (sendBufferSize > 0) socket_.setSendBufferSize(sendBufferSize);
    open_.store(true);
    return true;
}

void ChannelSocket::setReceiveTimeout(int totalMs) {
    socket_.setReceiveTimeout(1000);
    retryLimit_ = std::max(1, totalMs / 1000);
}

int ChannelSocket::receive(void* buffer, std::size_t length) {
    if (!open_.load()) return kReceiveFailed;
    int timeouts = 0;
    for (;;) {
        platform::RecvResult r = socket_.receiveSome(buffer, length);
        if (r.status == platform::RecvStatus::Ok && r.bytes > 0) return static_cast<int>(r.bytes);
        if (r.status == platform::RecvStatus::TimedOut) {
            if (++timeouts >= retryLimit_) return kReceiveTimedOut;
            if (!open_.load()) return kReceiveFailed;
            continue;
        }
        lastError_.store(r.status == platform::RecvStatus::Closed ? 0 : socket_.lastError());
        markBroken();
        return kReceiveFailed;
    }
}

bool ChannelSocket::receiveExactly(void* buffer, std::size_t length) {
    auto* p = static_cast<uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < length) {
        int n = receive(p + got, length - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool ChannelSocket::receiveExactly(void* buffer, std::size_t length, platform::Deadline deadline) {
    if (!open_.load()) return false;
    const platform::RecvResult r = socket_.receiveAll(buffer, length, deadline);
    if (r.status == platform::RecvStatus::Ok) return true;
    if (r.status == platform::RecvStatus::TimedOut) return false;
    lastError_.store(r.status == platform::RecvStatus::Closed ? 0 : socket_.lastError());
    markBroken();
    return false;
}

bool ChannelSocket::sendAll(const void* data, std::size_t length, platform::Deadline deadline) {
    if (!open_.load()) return false;
    const platform::SendResult r = socket_.sendAll(data, length, deadline);
    if (r.ok) return true;
    lastError_.store(socket_.lastError());
    if (r.bytes > 0) markBroken();
    return false;
}

void ChannelSocket::shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_.load()) socket_.shutdown();
}

void ChannelSocket::markBroken() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (socket_.isOpen()) socket_.shutdown();
    open_.store(false);
}

void ChannelSocket::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (socket_.isOpen()) {
        socket_.shutdown();
        socket_.close();
    }
    open_.store(false);
}

} // namespace fenwa10
