// One protocol version 1 connection: the login, control and media channels
// and what they share, behind the contract's shared exports.
#pragma once

#include "control_channel.h"
#include "instance_state.h"
#include "login_channel.h"
#include "media_channel.h"
#include "transport/contract.h"
#include "transport/plugin_instance.h"

#include <atomic>
#include <mutex>

namespace fenwa10 {

class Instance final : public transport::PluginInstance {
public:
    // The clock times the keep-alive rules; it must outlive the instance.
    // M_XInit gives the system clock, tests a manual one.
    explicit Instance(const platform::Clock& clock);
    ~Instance() override;

    void setMediaConfig(const MediaConfig& config) override;
    int32_t connect() override;
    int32_t startStreaming() override;
    void stopStreaming() override;
    void disconnect() override;
    int32_t getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) override;
    int32_t getNextIFrame() override;
    int32_t sendCommand(const TransportCommand& command) override;
    void setControlDataCallback(void* context, ControlDataCallback callback) override;
    int32_t setMotionInfo(const MotionInfo& info) override;
    int32_t getMotionInfo(MotionInfo& info) override;
    int32_t setVideoConfig(const VideoConfig& config) override;
    // The camera's video standard, as the contract's result.
    int32_t getVideoConfig(VideoConfig& config) override;

    bool connectionLost() const { return state_.connectionLost.load(); }
    const ControlChannel& control() const { return control_; }
    const MediaChannel& media() const { return media_; }
    void setSilentMediaReadTimeoutMs(int ms) { media_.setSilentReadTimeoutMs(ms); }
    int loginState() const { return login_.state(); }

private:
    // Connect and stream start may take seconds on the caller's thread. A
    // stop or disconnect from another thread meanwhile only wakes them
    // (they then fail and close the channels themselves); otherwise it
    // closes, and an operation that starts meanwhile waits for that.
    void beginOperation();
    // True when the operation was woken by a stop or disconnect.
    bool endOperation();
    bool abortOperationLocked();
    void closeAll();
    CameraVideoConfig fetchCameraConfig();

    MediaConfig config_{};
    InstanceState state_;
    LoginChannel login_;
    ControlChannel control_;
    MediaChannel media_;
    std::mutex operationMutex_;
    bool operationRunning_ = false;
    std::atomic<bool> operationAborted_{false};
    VideoConfig lastVideoConfig_{};
};

// The handle the exports take for an instance, and the instance behind a
// handle (tests create instances with their own clock and reach them so).
void* handleOf(Instance* instance);
Instance* instanceFromHandle(void* handle);

} // namespace fenwa10
