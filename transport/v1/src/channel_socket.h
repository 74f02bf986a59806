// The socket layer every protocol 1 channel uses: bounded connect, receive
// with one-second time-outs retried up to a limit, sends and whole answers
// bounded by a deadline, orderly close.
#pragma once

#include "platform/tcp_socket.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace fenwa10 {

// Receive results below zero.
inline constexpr int kReceiveFailed = -1;
inline constexpr int kReceiveTimedOut = -2;

class ChannelSocket {
public:
    // Connects within connectTimeoutSeconds (at least one second); applies
    // buffer sizes above 0. False (and closed) on any failure.
    bool open(const std::string& host, int32_t port, int32_t connectTimeoutSeconds, int receiveBufferSize = 0,
              int sendBufferSize = 0);
    // One-second socket time-out, retried totalMs / 1000 times.
    void setReceiveTimeout(int totalMs);
    // > 0 bytes received; kReceiveTimedOut after the retry limit; kReceiveFailed
    // on error or close by the peer (the socket then counts as closed; its
    // descriptor is freed by close(), once no other thread uses it).
    int receive(void* buffer, std::size_t length);
    // Receives exactly length bytes; false on failure or time-out.
    bool receiveExactly(void* buffer, std::size_t length);
    // The same with one deadline for all of it, so a camera that trickles
    // its answer cannot stretch the wait; false on failure or time-out.
    bool receiveExactly(void* buffer, std::size_t length, platform::Deadline deadline);
    // Sends every byte before the deadline; false when the camera stops
    // taking them. A message cut half-way leaves the stream unreadable for
    // the camera, so the socket then counts as broken.
    bool sendAll(const void* data, std::size_t length, platform::Deadline deadline);

    // Wakes a thread blocked in receive without freeing the descriptor.
    void shutdown();
    // Shuts both directions down and closes.
    void close();
    // Counts the socket as closed and wakes its users; close() frees it.
    void markBroken();
    bool isOpen() const { return open_.load(); }
    int lastError() const { return lastError_.load(); }

private:
    platform::TcpSocket socket_;
    std::mutex mutex_; // open, shutdown and close against each other
    std::atomic<bool> open_{false};
    std::atomic<int> lastError_{0};
    int retryLimit_ = 1;
};

} // namespace fenwa10
