// TCP sockets for the transports, the audio sender and the simulator.
// IPv4 only (cameras are addressed by dotted IPv4 text). RAII close.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Result of a receive call.
enum class RecvStatus { Ok, Closed, TimedOut, Error };

struct RecvResult {
    RecvStatus status = RecvStatus::Error;
    std::size_t bytes = 0; // bytes received (for receiveAll: received before the status)
};

// The moment a whole exchange must be over, however the peer paces its bytes.
using Deadline = std::chrono::steady_clock::time_point;
Deadline deadlineAfter(int timeoutMs);

// Result of a send bounded by a deadline.
struct SendResult {
    bool ok = false;
    std::size_t bytes = 0; // bytes the socket took (all of them when ok)
};

class TcpSocket {
public:
    TcpSocket() = default;
    explicit TcpSocket(int fd) : fd_(fd) {}
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Connects with a non-blocking connect bounded by timeoutMs, then turns the
    // socket back to blocking. False on failure (lastError() tells why).
    bool connect(const std::string& host, uint16_t port, int timeoutMs);

    bool isOpen() const { return fd_ >= 0; }
    // Wakes any thread blocked in a receive or send on this socket without
    // freeing the descriptor; close() afterwards, once those threads are gone.
    void shutdown();
    void close();

    // Receive time-out for every later receive (0 = none).
    bool setReceiveTimeout(int timeoutMs);
    bool setSendTimeout(int timeoutMs);
    bool setReceiveBufferSize(int bytes);
    bool setSendBufferSize(int bytes);
    bool setNoDelay(bool on);

    // Sends every byte, retrying partial sends. False when the socket refused.
    bool sendAll(const void* data, std::size_t length);
    // Sends every byte before the deadline; a peer that stops reading fails
    // the send (lastError() ETIMEDOUT) once the buffers are full. bytes tells
    // whether part of the data went, which leaves the stream cut mid-message.
    SendResult sendAll(const void* data, std::size_t length, Deadline deadline);
    // One receive of up to length bytes.
    RecvResult receiveSome(void* buffer, std::size_t length);
    // Receives exactly length bytes unless the peer closes, an error occurs or
    // a receive times out.
    RecvResult receiveAll(void* buffer, std::size_t length);
    // Receives exactly length bytes before the deadline, whatever the
    // socket's own receive time-out: TimedOut when the deadline passes,
    // however slowly the bytes keep coming.
    RecvResult receiveAll(void* buffer, std::size_t length, Deadline deadline);
    // Waits until data (or end of stream) can be read; false on time-out.
    bool waitReadable(int timeoutMs) const;

    int lastError() const { return lastError_; }
    int fd() const { return fd_; }
    // Local and peer port (0 when unknown).
    uint16_t localPort() const;
    // Dotted text of the peer address (empty when unknown).
    std::string peerAddress() const;

private:
    int fd_ = -1;
    // Written by a receiving and a sending thread at once on control channels.
    std::atomic<int> lastError_{0};
};

// A listening socket; the simulator and tests use it on 127.0.0.1.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds host:port (port 0 = ephemeral) and listens. False on failure.
    bool listen(const std::string& host, uint16_t port, int backlog = 16);
    uint16_t port() const { return port_; }
    bool isOpen() const { return fd_ >= 0; }
    // Waits up to timeoutMs (negative: no limit) for a connection; the
    // returned socket is closed when nothing came or the listener was shut down.
    TcpSocket accept(int timeoutMs);
    void shutdown();
    void close();

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// Parses dotted IPv4 text into four bytes in network order; false when the
// text is not an address.
bool parseIPv4(const std::string& text, uint8_t out[4]);

} // namespace platform
