// Settings shared by every simulated camera, whatever protocol it speaks.
#pragma once

#include "camsim/video_source.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace camsim {

// The camera's encoder settings, as it reports them.
struct CameraVideoSettings {
    int32_t videoStandard = 0;  // 0 NTSC, 1 PAL
    int32_t resolutionCode = 0; // 0..5 for protocol version 1
    int32_t bitRateCode = 7;
    int32_t brightness = 50;
    int32_t contrast = 50;
    int32_t saturation = 50;
    int32_t hue = 50;
    uint16_t frameRate = 30;
    uint16_t configValue = 0; // protocol version 1: field at offset 42
};

// A camera that draws its own scene instead of the fixed test pattern: its
// picture answers PTZ, lens, menu, output and quad commands.
struct SceneOptions {
    bool enabled = false;
    std::string name = "CAMERA"; // drawn in the picture
    int variant = 0;             // which panorama (quad inputs take the next three)
    // Each picture also carries its capture time as time_strip.h spells it.
    bool timeStrip = false;
};

struct CameraOptions {
    std::string host = "127.0.0.1"; // never anything but loopback in tests
    std::string user = "admin";
    std::string password = "admin";
    // Protocol version 1 channels; 0 = ephemeral.
    uint16_t loginPort = 0;
    uint16_t controlPort = 0;
    uint16_t mediaPort = 0;
    // Further protocols and servers use these; 0 = ephemeral.
    uint16_t videoPort = 0;
    uint16_t httpPort = 0;
    uint32_t connectionNumber = 0x1234;
    CameraVideoSettings video;
    // Streams the source's frames by itself once the client starts the
    // stream; false leaves the media channel to sendVideo() calls.
    bool autoStream = true;
    // Sends frames at the source's frame rate; false sends as fast as the
    // client reads (benchmarks).
    bool paceFrames = true;
    // Protocol version 2: audio records (a tone) go out between the video
    // records of an automatic stream.
    bool streamAudio = true;
    // Makes the picture source; null gives makeCameraVideoSource() for the
    // video settings (real encoded video when camsim is built with video).
    std::function<std::unique_ptr<VideoSource>()> sourceFactory;
    // The PTZ head answers serial frames for this address (1 to 255).
    int ptzAddress = 1;
    SceneOptions scene;
    // Moves the head and the motion object; null is the system clock. Must
    // outlive the camera.
    const platform::Clock* clock = nullptr;
};

} // namespace camsim
