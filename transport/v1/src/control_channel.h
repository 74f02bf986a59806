// The control channel: attach handshake, commands, configuration requests,
// keep-alive, and the receive thread that takes the camera's answers and
// event notices and keeps the status, motion and digital-input bytes.
#pragma once

#include "channel_socket.h"
#include "instance_state.h"
#include "platform/event.h"
#include "platform/timed_mutex.h"
#include "transport/contract.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace fenwa10 {

inline constexpr int kErrorControlConnect = 302;
inline constexpr std::size_t kCameraVideoConfigSize = 48;
inline constexpr std::size_t kMotionInfoSize = 68;
using CameraVideoConfig = std::array<uint8_t, kCameraVideoConfigSize>;

// The bytes the frame reader stamps into each frame header.
struct StatusBytes {
    uint8_t status = 1;
    uint8_t motion = 0;
    uint8_t digitalInput = 3;
};

class ControlChannel {
public:
    explicit ControlChannel(InstanceState& state) : state_(state) {}
    ~ControlChannel() { close(); }
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    // Opens the socket and starts the receive thread.
    bool open(const MediaConfig& config);
    // Message 2 with the connection number; true when the camera accepted.
    bool attach(uint32_t connectionNumber);
    // Message 32; the camera's 48-byte video configuration, or nullopt-like
    // false on time-out.
    bool requestVideoConfig(CameraVideoConfig& out);
    bool requestMotionInfo(uint8_t out[kMotionInfoSize]);
    // One message; true when every byte went out.
    bool send(uint32_t type, const void* payload = nullptr, std::size_t length = 0);
    // Sends 33 (first step of the stream start).
    bool prepareStream();
    // Sends 34, or 35 for connection type 4, and starts the keep-alive rule.
    bool startStream(bool connectionType4);
    // Sends 35 and 18 when open, ends the receive thread, closes; within
    // about half a second whatever the camera does.
    void close();
    // From another thread while this one connects: wakes every wait and the
    // receive thread without freeing anything; close() follows on the
    // connecting thread.
    void abort();

    void setCallback(void* context, ControlDataCallback callback);

    // The frame reader takes the collected bytes and resets motion and
    // digital input in one step, so no notice is lost or counted twice.
    StatusBytes takeStatusBytes();
    StatusBytes peekStatusBytes() const;

    bool isConnected() const { return stateNumber_.load() >= 1 && socket_.isOpen(); }
    bool isAttached() const { return stateNumber_.load() == 4; }
    bool isStreaming() const { return streaming_.load(); }
    bool receiveThreadEnded() const { return threadEnded_.load(); }
    int64_t lastKeepAliveAnswerSeconds() const { return lastAnswerSeconds_.load(); }
    int state() const { return stateNumber_.load(); }
    int lastError() const { return lastError_.load(); }
    // Why the last open failed (an error number of the socket).
    int socketError() const { return socket_.lastError(); }

    // The digital-input byte for the first payload byte of message 0x1000C.
    static uint8_t digitalInputFromNotice(uint8_t b);

private:
    void receiveLoop();
    // False when the check declares the connection lost.
    bool keepAliveCheck();
    void dispatch(uint32_t type, const uint8_t* message, std::size_t messageLength);
    void forward(const uint8_t* data, std::size_t length);
    void declareLost();

    InstanceState& state_;
    ChannelSocket socket_;
    platform::TimedMutex sendMutex_; // one message at a time, and sends against close
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> threadEnded_{true};
    // One reply event per kind of answer, so that a late answer of one kind
    // (0x10021 after a stream start) never passes for another.
    platform::ManualResetEvent attachReply_;
    platform::ManualResetEvent videoReply_;
    platform::ManualResetEvent motionReply_;
    platform::ManualResetEvent genericReply_;
    std::atomic<int> stateNumber_{0};
    std::atomic<int> lastError_{0};
    std::atomic<bool> streaming_{false};
    std::atomic<int64_t> lastCheckSeconds_{0};
    std::atomic<int64_t> lastAnswerSeconds_{0};

    std::atomic<bool> attachAccepted_{false};
    mutable std::mutex dataMutex_; // answers and status bytes
    CameraVideoConfig videoConfig_{};
    std::array<uint8_t, kMotionInfoSize> motionInfo_{};
    StatusBytes status_;
    uint8_t statusFlag_ = 0;

    std::mutex callbackMutex_;
    void* callbackContext_ = nullptr;
    ControlDataCallback callback_ = nullptr;
};

} // namespace fenwa10
