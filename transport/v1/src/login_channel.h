// The login channel: asks for a connection number and logs in with digests.
#pragma once

#include "channel_socket.h"
#include "instance_state.h"
#include "platform/event.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct MediaConfig;

namespace fenwa10 {

inline constexpr int kAnswerWaitMs = 5000;
inline constexpr int kErrorLoginConnect = 102;

class LoginChannel {
public:
    explicit LoginChannel(InstanceState& state) : state_(state) {}
    ~LoginChannel() { close(); }
    LoginChannel(const LoginChannel&) = delete;
    LoginChannel& operator=(const LoginChannel&) = delete;

    // Opens the channel and starts its receive thread.
    bool open(const MediaConfig& config);
    // Asks for the connection number; 0 on time-out or a refusal.
    uint32_t requestConnectionNumber();
    // Sends the login record; true when the camera accepted it.
    bool login(const MediaConfig& config, uint32_t connectionNumber);
    // From another thread: wakes the waits and the receive thread; close()
    // follows on the thread that opened the channel.
    void abort();
    void close();

    int state() const { return state_number_.load(); }
    int lastError() const { return lastError_.load(); }
    // Why the last open failed (an error number of the socket).
    int socketError() const { return socket_.lastError(); }
    // Whether the camera answered the last login at all (it may have refused).
    bool loginAnswered() const { return loginAnswered_.load(); }

    // The 120-byte login record.
    static void buildLoginRecord(const MediaConfig& config, uint32_t connectionNumber, uint8_t out[120]);

private:
    void receiveLoop();

    InstanceState& state_;
    ChannelSocket socket_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    platform::ManualResetEvent reply_;
    std::atomic<int> state_number_{0};
    std::atomic<int> lastError_{0};
    std::atomic<uint32_t> connectionNumber_{0};
    std::atomic<bool> loginAccepted_{false};
    std::atomic<bool> loginAnswered_{false};
};

} // namespace fenwa10
