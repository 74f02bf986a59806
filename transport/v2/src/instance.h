// One protocol version 2 connection, behind the contract's shared exports.
#pragma once

#include "camera_config.h"
#include "control_channel.h"
#include "transport/contract.h"
#include "transport/plugin_instance.h"
#include "video_channel.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace fenwa20 {

struct InstanceOptions {
    ControlTiming control;
    int httpTimeoutMs = 10000; // a camera web server that does not answer in time counts as failed
    // The serial-port setting is a control request, which the caller waits
    // for as for a PTZ command: it must not hold the caller long.
    int controlRequestTimeoutMs = 1000;
};

class Instance final : public transport::PluginInstance {
public:
    explicit Instance(const InstanceOptions& options = {});
    ~Instance() override;

    void setMediaConfig(const MediaConfig& config) override;
    int32_t connect() override;
    int32_t startStreaming() override;
    int32_t getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) override;
    int32_t getNextIFrame() override;
    void stopStreaming() override;
    void disconnect() override;
    int32_t sendCommand(const TransportCommand& command) override;
    void setControlDataCallback(void* context, ControlDataCallback callback) override;
    // The camera's web server answers these; 1 whatever it answered, and the
    // settings read keep their last values when it did not.
    int32_t setVideoConfig(const VideoConfig& config) override;
    int32_t getVideoConfig(VideoConfig& out) override;
    int32_t setMotionInfo(const MotionInfo& info) override;
    int32_t getMotionInfo(MotionInfo& out) override;

    const ControlChannel& control() const { return control_; }
    const VideoChannel& video() const { return video_; }

private:
    // Tells the diagnostics which step of a failed connect or stream start
    // failed and why.
    void reportConnectFailure(bool aborted, bool atLogin) const;
    // Connect and stream start may take seconds on the caller's thread. A
    // stop or disconnect from another thread meanwhile only wakes them (they
    // then fail and close the channels themselves); otherwise it closes, and
    // an operation that starts meanwhile waits for that.
    void beginOperation();
    // True when the operation was woken by a stop or disconnect.
    bool endOperation();
    bool abortOperationLocked();

    // One GET; true with the body (cut to capacity - 1 bytes) when the server
    // answered with success and the whole body was read.
    bool httpRequest(const std::string& url, std::size_t capacity, std::string& answer) const;
    bool httpRequest(const std::string& url, std::size_t capacity, int timeoutMs, std::string& answer) const;
    QueryIdentity identity() const;
    int32_t sendSerialSetting(const TransportCommand& command);

    InstanceOptions options_;
    MediaConfig config_{};
    std::string host_ = "";
    int32_t streamingPort_ = 6002;
    int32_t controlPort_ = 6001;
    int32_t httpPort_ = 80;
    std::string user_;
    std::string password_;
    std::string httpBase_;
    ControlChannel::LoginBlock controlLogin_{};
    VideoChannel::LoginBlock videoLogin_{};

    std::mutex videoConfigMutex_;
    VideoConfig storedVideoConfig_{};
    std::mutex operationMutex_;
    bool operationRunning_ = false;
    std::atomic<bool> operationAborted_{false};

    ControlChannel control_;
    VideoChannel video_;
};

} // namespace fenwa20
