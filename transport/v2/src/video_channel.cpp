#include "video_channel.h"

#include "transport/contract.h"
#include "transport/protocol_message.h"

#include <cstring>

namespace fenwa20 {

namespace {

constexpr int kConnectWaitMs = 1000;
constexpr int kReceiveTimeoutMs = 1000;
constexpr int kSendWaitMs = 500;
constexpr int kErrorNotConnected = 201;
constexpr int kErrorRefused = 203;
constexpr int kErrorWrongState = 204;
constexpr std::size_t kRecordHeader = 12;

} // namespace

bool VideoChannel::open(const std::string& host, int port) {
    std::lock_guard lock(mutex_);
    closeLocked();
    if (port <= 0 || port > 65535 || !socket_.connect(host, static_cast<uint16_t>(port), kConnectWaitMs)) {
        socket_.close();
        return false;
    }
    socket_.setReceiveTimeout(kReceiveTimeoutMs);
    state_ = 1;
    return true;
}

bool VideoChannel::isOpen() const {
    std::lock_guard lock(mutex_);
    return socket_.isOpen() && !closePending_;
}

bool VideoChannel::login(const LoginBlock& block) {
    if (state_ == 0) {
        lastError_ = kErrorNotConnected;
        return false;
    }
    if (state_ > 1) {
        lastError_ = kErrorWrongState;
        return false;
    }
    std::array<uint8_t, 128> answer{};
    bool answered = false;
    // Read as the frame reader does, so that close() from another thread
    // wakes the login instead of waiting for it.
    if (!beginRead()) {
        lastError_ = kErrorNotConnected;
        return false;
    }
    if (socket_.sendAll(block.data(), block.size(), platform::deadlineAfter(kSendWaitMs)).ok) {
        // The whole answer within the receive time-out, however it is paced.
        const platform::Deadline deadline = platform::deadlineAfter(kReceiveTimeoutMs);
        answered = socket_.receiveAll(answer.data(), answer.size(), deadline).status == platform::RecvStatus::Ok;
    }
    endRead(false);
    if (state_ == 0) {
        // Closed meanwhile.
        lastError_ = kErrorNotConnected;
        return false;
    }
    const uint32_t value = transport::getUint32Le(answer.data() + 4);
    if (answered && answer[0] == 0 && value != 0) {
        loginValue_ = value;
        state_ = 4;
        return true;
    }
    state_ = 2;
    lastError_ = kErrorRefused;
    return false;
}

int32_t VideoChannel::receive(uint8_t* into, std::size_t length) {
    const platform::RecvResult r = socket_.receiveAll(into, length);
    switch (r.status) {
    case platform::RecvStatus::Ok: return 1;
    case platform::RecvStatus::Closed: return 0;
    case platform::RecvStatus::TimedOut: return -2;
    case platform::RecvStatus::Error: break;
    }
    lastError_ = socket_.lastError();
    return -1;
}

bool VideoChannel::beginRead() {
    std::lock_guard lock(mutex_);
    if (!socket_.isOpen() || closePending_) return false;
    readerActive_ = true;
    return true;
}

void VideoChannel::endRead(bool closeNow) {
    std::lock_guard lock(mutex_);
    readerActive_ = false;
    if (closeNow || closePending_) closeLocked();
}

int32_t VideoChannel::failAndClose(int32_t code) {
    endRead(true);
    return code;
}

void VideoChannel::close() {
    std::lock_guard lock(mutex_);
    if (readerActive_) {
        // The reader is inside a receive on this descriptor: wake it and let
        // it free the descriptor on its way out.
        socket_.shutdown();
        closePending_ = true;
        state_ = 0;
        return;
    }
    closeLocked();
}

void VideoChannel::closeLocked() {
    socket_.close();
    pendingCount_ = 0;
    closePending_ = false;
    state_ = 0;
}

// Reads one record into the caller's buffer. A bad start code gives -1 and
// leaves the connection open. A record longer than the buffer is never
// written past it: its body is skipped (the buffer serves as scratch) so the
// next call starts at the next record, and -1 reports the loss; a body too
// long to skip closes the channel, since the stream cannot be trusted.
//
// The body reads may also take in up to 12 bytes of the next record's head
// when they are already there (never waiting for them); those bytes are kept
// and start the next call, which saves a receive per record.
int32_t VideoChannel::nextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    if (buffer == nullptr || bufferSize < static_cast<int32_t>(kRecordHeader)) return -1;
    if (!beginRead()) return -1;
    const std::size_t carried = pendingCount_;
    std::memcpy(buffer, pending_.data(), carried);
    pendingCount_ = 0;
    int32_t r = carried < kRecordHeader ? receive(buffer + carried, kRecordHeader - carried) : 1;
    if (r != 1) return failAndClose(r);
    if (std::memcmp(buffer, transport::kFrameStartCode, 4) != 0) {
        endRead(false);
        return -1;
    }
    const uint32_t body = transport::getUint32Le(buffer + 8);
    const uint64_t total = kRecordHeader + static_cast<uint64_t>(body);
    if (total > static_cast<uint64_t>(bufferSize)) {
        if (body > kMaxSkippableBody) return failAndClose(-1);
        uint32_t left = body;
        while (left > 0) {
            const uint32_t n = left < static_cast<uint32_t>(bufferSize) ? left : static_cast<uint32_t>(bufferSize);
            r = receive(buffer, n);
            if (r != 1) return failAndClose(r);
            left -= n;
        }
        endRead(false);
        return -1;
    }
    const std::size_t lookahead = total + kRecordHeader <= static_cast<uint64_t>(bufferSize) ? kRecordHeader : 0;
    uint8_t* into = buffer + kRecordHeader;
    std::size_t got = 0;
    while (got < body) {
        const platform::RecvResult rr = socket_.receiveSome(into + got, body + lookahead - got);
        if (rr.status == platform::RecvStatus::Ok) {
            got += rr.bytes;
            continue;
        }
        if (rr.status == platform::RecvStatus::Error) lastError_ = socket_.lastError();
        return failAndClose(rr.status == platform::RecvStatus::Closed     ? 0
                            : rr.status == platform::RecvStatus::TimedOut ? -2
                                                                          : -1);
    }
    pendingCount_ = got - body;
    std::memcpy(pending_.data(), into + body, pendingCount_);
    endRead(false);
    if (frameKind != nullptr) *frameKind = buffer[4] == 1 ? 1 : buffer[4] == 2 ? 2 : 0;
    return static_cast<int32_t>(total);
}

int32_t VideoChannel::nextIFrame() {
    if (!iframeBuffer_) iframeBuffer_ = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    for (;;) {
        int32_t kind = 0;
        const int32_t length = nextFrame(&kind, iframeBuffer_.get(), transport::kFrameBufferSize);
        // Any failure ends the search; retrying could wait forever.
        if (length <= 0) return length;
        if (transport::isIFrameRecord(iframeBuffer_.get(), static_cast<std::size_t>(length))) return length;
    }
}

} // namespace fenwa20
