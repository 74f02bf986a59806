// A protocol version 1 camera on three TCP channels (login, control, media).
// It answers the client's handshakes and requests, streams video from its
// source and records every message it receives. Tests drive it in process.
#pragma once

#include "camsim/camera_head.h"
#include "camsim/camera_options.h"
#include "camsim/faults.h"
#include "camsim/recording.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace camsim {

class V1Camera {
public:
    explicit V1Camera(CameraOptions options = {});
    ~V1Camera(); // stops and joins every thread
    V1Camera(const V1Camera&) = delete;
    V1Camera& operator=(const V1Camera&) = delete;

    bool start();
    void stop();

    uint16_t loginPort() const;
    uint16_t controlPort() const;
    uint16_t mediaPort() const;
    const CameraOptions& options() const;

    Recording& recording();
    FaultSwitches& faults();
    // The PTZ head, lens, menu, lamp and event state the picture is drawn from.
    CameraHead& head();

    // Current encoder settings (changed by the client's set requests).
    CameraVideoSettings videoSettings() const;
    void setVideoSettings(const CameraVideoSettings& settings);
    // The 48-byte video configuration payload for the settings.
    static std::vector<uint8_t> videoConfigPayload(const CameraVideoSettings& settings);

    // True once the client asked for the stream (message 34 or 35).
    bool isStreaming() const;
    // Waits until the client started the stream.
    bool waitStreaming(int timeoutMs) const;

    // Sends a notice on the control channel; false when no client is attached.
    bool sendControl(uint32_t type, const std::vector<uint8_t>& payload);
    // Sends raw bytes on the control channel (malformed messages).
    bool sendControlRaw(const std::vector<uint8_t>& bytes);
    bool sendDigitalInput(uint8_t state) { return sendControl(0x1000C, {state}); }
    bool sendMotion(uint8_t state) { return sendControl(0x1000E, {state}); }
    bool sendStatus(uint8_t status) { return sendControl(0x10013, {status, 0, 0, 0}); }

    // Sends one video message on the media channel (16-byte camera header
    // carrying the time stamp and per-frame byte, then the picture bytes).
    bool sendVideo(const VideoFrame& frame, uint8_t perFrame = 0);
    // Builds the message sendVideo() would send.
    static std::vector<uint8_t> videoMessage(const VideoFrame& frame, uint8_t perFrame);
    static void appendVideoMessage(std::vector<uint8_t>& out, const VideoFrame& frame, uint8_t perFrame);
    // Sends raw bytes on the media channel.
    bool sendMediaRaw(const std::vector<uint8_t>& bytes);

    // Closes the current connection of one channel (Login, Control, Media).
    void closeChannel(Channel channel);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace camsim
