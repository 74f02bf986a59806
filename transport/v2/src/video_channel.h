// The protocol version 2 video channel: the camera sends finished frame
// records, which are read straight into the caller's buffer.
#pragma once

#include "platform/tcp_socket.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace fenwa20 {

class VideoChannel {
public:
    using LoginBlock = std::array<uint8_t, 128>;

    // A record whose declared body is longer than this cannot be skipped in
    // reasonable time; the channel is closed instead.
    static constexpr uint32_t kMaxSkippableBody = 16u * 256000u;

    VideoChannel() = default;
    VideoChannel(const VideoChannel&) = delete;
    VideoChannel& operator=(const VideoChannel&) = delete;

    // Connects with a single one-second wait, sets the 1000 ms receive time-out.
    bool open(const std::string& host, int port);
    bool login(const LoginBlock& block);
    // Record length (> 0); -1 failure or malformed record; -2 no data within
    // the receive time-out; 0 the camera closed. See the .cpp for details.
    int32_t nextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize);
    // Discards records up to and including the next I-frame record.
    int32_t nextIFrame();
    // Safe from any thread while another one is blocked in nextFrame: the
    // reader is woken and the descriptor is freed once it has left.
    void close();

    bool isOpen() const;
    int state() const { return state_.load(); }
    int lastError() const { return lastError_.load(); }
    // Why the last open failed (an error number of the socket).
    int socketError() const { return socket_.lastError(); }
    uint32_t loginValue() const { return loginValue_.load(); }

private:
    // Receives exactly `length` bytes; 1 on success, else the result code.
    int32_t receive(uint8_t* into, std::size_t length);
    int32_t failAndClose(int32_t code);
    bool beginRead();
    void endRead(bool closeNow);
    void closeLocked();

    mutable std::mutex mutex_; // guards the socket's open/close against the reader
    platform::TcpSocket socket_;
    bool readerActive_ = false;
    bool closePending_ = false;
    std::atomic<int> state_{0};
    std::atomic<int> lastError_{0};
    std::atomic<uint32_t> loginValue_{0};
    std::unique_ptr<uint8_t[]> iframeBuffer_;
    // Head bytes of the next record taken in with the previous body; only
    // the reader touches them (and close, when no reader is active).
    std::array<uint8_t, 12> pending_{};
    std::size_t pendingCount_ = 0;
};

} // namespace fenwa20
