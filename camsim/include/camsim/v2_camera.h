// A protocol version 2 camera: a control channel (login block, "Vexo"
// messages both ways), a video channel (login block, then finished frame
// records) and the camera's web server ("/cgi-bin/mpeg4", "/cgi-bin/quad").
// It records everything it receives; tests drive it in process.
#pragma once

#include "camsim/camera_head.h"
#include "camsim/camera_options.h"
#include "camsim/faults.h"
#include "camsim/http_server.h"
#include "camsim/recording.h"
#include "camsim/video_source.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace camsim {

// Switches that make the protocol version 2 camera misbehave. Tests flip
// them at any time; the servers read them as they go.
struct V2FaultSwitches {
    std::atomic<bool> refuseControlLogin{false};
    std::atomic<bool> refuseVideoLogin{false};
    // Never answer the control login block (the connection stays open).
    std::atomic<bool> silentControlLogin{false};
    // Keep the video connection open but send nothing.
    std::atomic<bool> stallVideo{false};
    // The next frame record carries a wrong start code.
    std::atomic<bool> badStartCodeOnce{false};
    // Refuse audio-out token requests (login code 2).
    std::atomic<bool> refuseAudioToken{false};
    // Serve one video connection at a time, as many older video servers do:
    // a video login while another connection streams is accepted, then sent
    // nothing until it goes.
    std::atomic<bool> oneVideoClient{false};
    // Stop reading, trickle answers (every channel but the web server).
    LinkFaults link;
};

// Motion detection as the camera's web server keeps it.
struct V2MotionSettings {
    int32_t enabled = 0;
    int32_t regionCount = 0;                         // regions reported, 0 to 3
    std::array<std::array<int32_t, 5>, 3> regions{}; // four window values, then the fifth
};

class V2Camera {
public:
    // Type under which login blocks are recorded (they are not messages).
    static constexpr uint32_t kLoginBlockType = 0xFFFFFFFFu;
    // Value the camera hands out on an accepted video login.
    static constexpr uint32_t kVideoLoginValue = 0x00C0FFEEu;

    explicit V2Camera(CameraOptions options = {});
    ~V2Camera(); // stops and joins every thread
    V2Camera(const V2Camera&) = delete;
    V2Camera& operator=(const V2Camera&) = delete;

    bool start();
    void stop();

    uint16_t controlPort() const;
    uint16_t videoPort() const;
    uint16_t httpPort() const;
    const CameraOptions& options() const;

    Recording& recording();
    V2FaultSwitches& faults();
    // The PTZ head, lens, menu, lamp, quad and event state the picture is
    // drawn from.
    CameraHead& head();
    HttpServer& http();

    CameraVideoSettings videoSettings() const;
    void setVideoSettings(const CameraVideoSettings& settings);
    V2MotionSettings motionSettings() const;
    void setMotionSettings(const V2MotionSettings& settings);
    // The last SERIAL_SETTING value received ("8O1,9600"), empty before.
    std::string serialSetting() const;
    // The last DISPLAY value of "/cgi-bin/quad", -1 before.
    int displayMode() const;
    // Sets the holder address a refused audio-out token reply carries.
    void setAudioTokenHolder(const std::array<uint8_t, 4>& address);

    // Logins accepted so far on the video and the control channel, and the
    // most video connections streamed (or starved) at once.
    int videoLogins() const;
    int controlLogins() const;
    int mostVideoAtOnce() const;

    // True while a client is logged in on the control or video channel.
    bool waitControlLogin(int timeoutMs) const;
    bool waitVideoLogin(int timeoutMs) const;

    // Sends a camera message on the control channel.
    bool sendControl(uint32_t type, const std::vector<uint8_t>& payload);
    // Sends raw bytes on the control or video channel.
    bool sendControlRaw(const std::vector<uint8_t>& bytes);
    bool sendVideoRaw(const std::vector<uint8_t>& bytes);
    // Sends one frame record (kind 1 video, 2 audio) on the video channel.
    bool sendFrame(const VideoFrame& frame, uint8_t kind = 1);

    // The frame record the camera sends for a picture or audio block: the
    // 44-byte header, then (for an intra picture) the sequence headers so
    // that the group-of-VOP start code sits at offset 75, then the data.
    std::vector<uint8_t> frameRecord(const VideoFrame& frame, uint8_t kind, uint8_t perFrame) const;

    // Closes the current connection of one channel (Control, VideoV2).
    void closeChannel(Channel channel);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace camsim
