#include "control_channel.h"

#include "platform/worker_thread.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace fenwa20 {

namespace {

constexpr int kConnectWaitMs = 1000;
// A camera that stops reading fills the socket buffers; a send then gives
// up instead of holding the caller (and every sender behind it).
constexpr int kSendWaitMs = 500;
constexpr int kDisconnectWaitMs = 900;
constexpr int kErrorThreads = 300;
constexpr int kErrorNotConnected = 301;
constexpr int kErrorOpenOrRefused = 302;
constexpr int kErrorWrongState = 304;
constexpr uint32_t kMaxSkippablePayload = 1u << 20;
// A keep-alive goes out once more than ten whole seconds have passed since
// the login or the last keep-alive.
constexpr int64_t kKeepAliveAfterMs = 11000;

// Index of the first place from which `data` could start the magic (a full
// or partial match running to the end); `length` when there is none.
std::size_t findMagicStart(const uint8_t* data, std::size_t length) {
    for (std::size_t i = 1; i < length; ++i) {
        const std::size_t n = std::min<std::size_t>(4, length - i);
        if (std::memcmp(data + i, transport::kMessageMagic, n) == 0) return i;
    }
    return length;
}

} // namespace

ControlChannel::ControlChannel(const ControlTiming& timing)
    : timing_(timing), clock_(timing.clock ? *timing.clock : platform::SystemClock::instance()) {}

ControlChannel::~ControlChannel() { close(); }

void ControlChannel::close() {
    stopThreads();
    std::lock_guard lock(socketMutex_);
    aborted_ = false;
    socket_.close();
    state_ = 0;
}

bool ControlChannel::open(const std::string& host, int port) {
    std::lock_guard lock(socketMutex_);
    socket_.close();
    if (port <= 0 || port > 65535 || !socket_.connect(host, static_cast<uint16_t>(port), kConnectWaitMs)) {
        state_ = 0;
        lastError_ = kErrorOpenOrRefused;
        return false;
    }
    aborted_ = false;
    state_ = 1;
    return true;
}

bool ControlChannel::isOpen() const {
    std::lock_guard lock(socketMutex_);
    return socket_.isOpen();
}

bool ControlChannel::login(const LoginBlock& block) {
    if (threadsExist()) {
        lastError_ = kErrorThreads;
        return false;
    }
    if (state_ < 1) {
        lastError_ = kErrorNotConnected;
        return false;
    }
    if (state_ > 1) {
        lastError_ = kErrorWrongState;
        return false;
    }
    std::array<uint8_t, 128> answer{};
    {
        const platform::Deadline deadline = platform::deadlineAfter(kSendWaitMs);
        std::unique_lock lock(socketMutex_, deadline);
        if (!lock.owns_lock() || !sendLocked(block.data(), block.size(), deadline)) {
            lastError_ = kErrorThreads;
            return false;
        }
    }
    // The whole answer within the login time-out, however the camera paces
    // it. Read without the lock, so that abort() can wake this read; no
    // other thread reads before the receive thread starts.
    const platform::RecvResult r =
        socket_.receiveAll(answer.data(), answer.size(), platform::deadlineAfter(timing_.loginAnswerTimeoutMs));
    if (r.status != platform::RecvStatus::Ok || aborted_) {
        lastError_ = kErrorThreads;
        return false;
    }
    if (transport::getUint32Le(answer.data()) != 0) {
        state_ = 2;
        lastError_ = kErrorOpenOrRefused;
        return false;
    }
    state_ = 3;
    running_ = true;
    stopEvent_.reset();
    receiveEnded_.reset();
    receiveThread_ = platform::startWorkerThread("v2-control", [this] { receiveLoop(); });
    keepAliveThread_ = platform::startWorkerThread("v2-keep-alive", [this] { keepAliveLoop(); });
    return true;
}

bool ControlChannel::send(uint32_t type, const void* payload, std::size_t length) {
    if (length > transport::kMaxMessagePayload || (length > 0 && payload == nullptr)) return false;
    std::array<uint8_t, transport::kMaxMessageSize> message;
    const std::size_t size = transport::buildMessage(message.data(), type, payload, length);
    const platform::Deadline deadline = platform::deadlineAfter(kSendWaitMs);
    std::unique_lock lock(socketMutex_, deadline);
    if (!lock.owns_lock() || !socket_.isOpen()) return false;
    return sendLocked(message.data(), size, deadline);
}

bool ControlChannel::sendLocked(const uint8_t* data, std::size_t length, platform::Deadline deadline) {
    const platform::SendResult r = socket_.sendAll(data, length, deadline);
    if (r.ok) return true;
    if (r.bytes > 0) socket_.shutdown();
    return false;
}

void ControlChannel::abort() {
    aborted_ = true;
    std::lock_guard lock(socketMutex_);
    socket_.shutdown();
}

void ControlChannel::setCallback(void* context, ControlDataCallback callback) {
    std::lock_guard lock(callbackMutex_);
    context_ = context;
    callback_ = callback;
}

void ControlChannel::deliver(const void* data, int32_t length) {
    void* context;
    ControlDataCallback callback;
    {
        std::lock_guard lock(callbackMutex_);
        context = context_;
        callback = callback_;
    }
    // Called without the lock so the callback may set another callback.
    if (callback != nullptr) callback(context, data, length);
}

void ControlChannel::stopThreads() {
    running_ = false;
    stopEvent_.set();
    joinThreads();
}

void ControlChannel::joinThreads() {
    if (receiveThread_.joinable()) receiveThread_.join();
    if (keepAliveThread_.joinable()) keepAliveThread_.join();
}

void ControlChannel::disconnect() {
    const platform::Deadline allOver = platform::deadlineAfter(kDisconnectWaitMs);
    bool wokeReceiver = false;
    {
        const platform::Deadline deadline = platform::deadlineAfter(kSendWaitMs);
        std::unique_lock lock(socketMutex_, deadline);
        const bool mayTalk = lock.owns_lock();
        if (!mayTalk) {
            // A sender is stuck on a camera that stopped reading, and message
            // 49 would not get through either. Wake it; while it holds the
            // lock nobody can free the descriptor.
            socket_.shutdown();
            lock.lock();
        }
        if (socket_.isOpen()) {
            if (mayTalk) {
                std::array<uint8_t, transport::kMessageHeaderSize> message;
                transport::buildMessage(message.data(), kMessageDisconnect, nullptr, 0);
                sendLocked(message.data(), message.size(), deadline);
            }
            // The receive thread fails its next receive, reports the loss and ends.
            socket_.shutdown();
            wokeReceiver = true;
        }
    }
    // Normally it has ended at once; a camera that keeps talking cannot hold
    // the disconnection longer than a second, lock wait included.
    if (wokeReceiver && receiveThread_.joinable()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(allOver - std::chrono::steady_clock::now());
        if (left.count() > 0) receiveEnded_.wait(static_cast<int>(left.count()));
    }
    // The descriptor is freed only once no thread can still be using it.
    running_ = false;
    stopEvent_.set();
    joinThreads();
    std::lock_guard lock(socketMutex_);
    socket_.close();
    state_ = 0;
}

ControlChannel::Receive ControlChannel::receiveExact(uint8_t* into, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        if (!running_) return Receive::Stopped;
        // Waiting in slices is what lets the stop request be noticed on a
        // socket that has no receive time-out.
        if (!socket_.waitReadable(timing_.pollSliceMs)) continue;
        platform::RecvResult r;
        {
            std::lock_guard lock(socketMutex_);
            r = socket_.receiveSome(into + got, length - got);
            if (r.status == platform::RecvStatus::Error || r.status == platform::RecvStatus::Closed) {
                lastError_ = socket_.lastError();
            }
        }
        if (r.status == platform::RecvStatus::Ok) {
            got += r.bytes;
        } else if (r.status != platform::RecvStatus::TimedOut) {
            return Receive::Failed;
        }
    }
    return Receive::Ok;
}

ControlChannel::Receive ControlChannel::discard(std::size_t length) {
    uint8_t* scratch = receiveBuffer_.data() + transport::kMessageHeaderSize;
    const std::size_t room = transport::kMaxMessagePayload;
    while (length > 0) {
        const std::size_t n = length < room ? length : room;
        const Receive r = receiveExact(scratch, n);
        if (r != Receive::Ok) return r;
        length -= n;
    }
    return Receive::Ok;
}

void ControlChannel::connectionLost() {
    running_ = false;
    // Our own abort is no loss to report.
    if (aborted_) return;
    stopEvent_.set();
    uint8_t notice[4];
    transport::putUint32Le(notice, static_cast<uint32_t>(transport::kNetworkLossNotice));
    deliver(notice, 4);
}

void ControlChannel::receiveLoop() {
    struct Ended {
        platform::ManualResetEvent& event;
        ~Ended() { event.set(); }
    } ended{receiveEnded_};
    state_ = 4;
    uint8_t* buffer = receiveBuffer_.data();
    std::size_t have = 0;
    while (running_) {
        Receive r = receiveExact(buffer + have, transport::kMessageHeaderSize - have);
        if (r == Receive::Stopped) return;
        if (r == Receive::Failed) {
            connectionLost();
            return;
        }
        transport::MessageHeader header;
        // A length no camera message comes near is a false magic in other
        // data, not a message to skip.
        if (!transport::parseMessageHeader(buffer, header) || header.payloadLength > kMaxSkippablePayload) {
            // Not a message start: slide to the next place the magic could
            // begin instead of reading on in 12-byte steps that never realign.
            const std::size_t skip = findMagicStart(buffer, transport::kMessageHeaderSize);
            have = transport::kMessageHeaderSize - skip;
            std::memmove(buffer, buffer + skip, have);
            continue;
        }
        have = 0;
        if (header.payloadLength > transport::kMaxMessagePayload) {
            // Too long to hand on: skip its payload so the next message is
            // still read from its own start.
            r = discard(header.payloadLength);
        } else {
            r = receiveExact(buffer + transport::kMessageHeaderSize, header.payloadLength);
            if (r == Receive::Ok) {
                deliver(buffer + 4, static_cast<int32_t>(transport::kMessageHeaderSize - 4 + header.payloadLength));
            }
        }
        std::memset(buffer, 0, transport::kMaxMessageSize);
        if (r == Receive::Stopped) return;
        if (r == Receive::Failed) {
            connectionLost();
            return;
        }
    }
}

void ControlChannel::keepAliveLoop() {
    int64_t noted = clock_.nowMs();
    while (running_) {
        // Sleeps until the next keep-alive is due; a stop or a lost
        // connection sets the event and ends the wait at once.
        const int64_t untilDue = noted + kKeepAliveAfterMs - clock_.nowMs();
        if (clock_.waitFor(stopEvent_, static_cast<int>(std::clamp<int64_t>(untilDue, 0, INT_MAX)))) break;
        if (!running_) break;
        const int64_t now = clock_.nowMs();
        // Whole milliseconds may end the wait one short: wait the rest.
        if (now - noted < kKeepAliveAfterMs) continue;
        if (isOpen()) send(kMessageKeepAlive, nullptr, 0);
        noted = now;
    }
}

} // namespace fenwa20
