// An RTSP transport plug-in's instance, behind the contract's shared
// exports: the connection settings and one RTSP session. Where the stream is comes from a
// locator, so that plug-ins which find the stream's URL another way share
// everything else.
#pragma once

#include "corvel/camera_url.h"
#include "corvel/rtsp_session.h"

#include <transport/contract.h>
#include <transport/plugin_instance.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace corvel {

// Finds the stream of the camera in `config`; an unusable CameraUrl (with
// its reason) fails the connect. Runs on the connecting thread and must
// itself stay within `deadlineMs`.
using StreamLocator = std::function<CameraUrl(const MediaConfig& config, int deadlineMs)>;

// The locator of a plain RTSP camera: the address is the stream's URL or
// its host (buildCameraUrl).
CameraUrl locatePlainRtsp(const MediaConfig& config, int deadlineMs);

// Connect time-out when the settings give none.
inline constexpr int kDefaultConnectSeconds = 10;
inline constexpr int kMaxConnectSeconds = 120;

// A plug-in that adds to what the shared exports do (an ONVIF camera's
// commands and events) derives from it.
class Instance : public transport::PluginInstance {
public:
    Instance(std::string name, StreamLocator locator, Deadlines deadlines = {},
             Authentication authentication = Authentication::AsTheCameraAsks);
    ~Instance() override;

    void setMediaConfig(const MediaConfig& config) override;
    int32_t connect() override;
    int32_t startStreaming() override;
    int32_t getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) override;
    // Reads records until a random-access one; its length, or <= 0.
    int32_t getNextIFrame() override;
    // Both end the session; the first wakes a blocked call from any thread.
    void stopStreaming() override;
    void disconnect() override;
    // A plain RTSP camera has no control channel: commands (PTZ, outputs,
    // serial settings) are not carried, and its encoder and motion settings
    // are not reachable.
    int32_t sendCommand(const TransportCommand& /*command*/) override { return 0; }

    const RtspSession& session() const { return session_; }

private:
    const std::string name_;
    const StreamLocator locator_;
    Deadlines deadlines_;
    std::mutex configLock_;
    MediaConfig config_{};
    RtspSession session_;
};

} // namespace corvel
