// The protocol version 2 control channel: one TCP connection that carries
// "Vexo" messages both ways, a receive thread that hands every camera message
// to the control-data callback, and a keep-alive thread.
#pragma once

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/timed_mutex.h"
#include "platform/tcp_socket.h"
#include "transport/contract.h"
#include "transport/protocol_message.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace fenwa20 {

struct ControlTiming {
    const platform::Clock* clock = nullptr; // null: the system clock; it keeps the keep-alive times
    int pollSliceMs = 100;                  // longest time the receive thread waits before re-checking its flag
    int loginAnswerTimeoutMs = 5000;        // the camera must answer the login within this time
};

inline constexpr uint32_t kMessageKeepAlive = 48;
inline constexpr uint32_t kMessageDisconnect = 49;
inline constexpr uint32_t kMessageDigitalOutput = 50;
inline constexpr uint32_t kMessageSerial = 54;

class ControlChannel {
public:
    using LoginBlock = std::array<uint8_t, 128>;

    explicit ControlChannel(const ControlTiming& timing);
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    // Connects with a single one-second wait. State 1, or state 0 and error 302.
    bool open(const std::string& host, int port);
    // Sends the login block and waits for the 128-byte answer; on acceptance
    // starts the receive and keep-alive threads.
    bool login(const LoginBlock& block);
    // Sends one whole message within half a second, waiting for other
    // senders included; false when the socket is closed, refused or full.
    bool send(uint32_t type, const void* payload, std::size_t length);
    bool isOpen() const;
    // Clears the running flag and waits for both threads; bounded, because
    // the receive thread never blocks longer than one poll slice.
    void stopThreads();
    // Sends message 49 when open, closes the connection and ends the threads;
    // within about a second whatever the camera does.
    void disconnect();
    // From another thread while this one logs in: wakes the login without
    // freeing anything (the login then fails); close() follows on the
    // logging-in thread.
    void abort();
    // Closes without a word to the camera (a connect that failed half-way).
    void close();

    void setCallback(void* context, ControlDataCallback callback);

    int state() const { return state_.load(); }
    int lastError() const { return lastError_.load(); }
    // Why the last open failed (an error number of the socket).
    int socketError() const { return socket_.lastError(); }
    bool threadsExist() const { return receiveThread_.joinable() || keepAliveThread_.joinable(); }
    bool running() const { return running_.load(); }

private:
    enum class Receive { Ok, Stopped, Failed };

    void receiveLoop();
    void keepAliveLoop();
    Receive receiveExact(uint8_t* into, std::size_t length);
    Receive discard(std::size_t length);
    // Sends under the socket lock; a message cut half-way shuts the socket
    // down, since the camera could not find the next message start.
    bool sendLocked(const uint8_t* data, std::size_t length, platform::Deadline deadline);
    void deliver(const void* data, int32_t length);
    void connectionLost();
    void joinThreads();

    ControlTiming timing_;
    const platform::Clock& clock_;

    mutable platform::TimedMutex socketMutex_; // serialises sends and the socket's open/close
    platform::TcpSocket socket_;
    std::atomic<int> state_{0};
    std::atomic<int> lastError_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> aborted_{false};

    std::array<uint8_t, transport::kMaxMessageSize> receiveBuffer_{};

    std::mutex callbackMutex_;
    void* context_ = nullptr;
    ControlDataCallback callback_ = nullptr;

    platform::ManualResetEvent stopEvent_;
    platform::ManualResetEvent receiveEnded_;

    std::thread receiveThread_;
    std::thread keepAliveThread_;
};

} // namespace fenwa20
