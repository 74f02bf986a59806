// A simulated camera on 127.0.0.1 for the live view run alone: it starts the
// simulator of one protocol and points a record at it.
#pragma once

#include <memory>

#include "tavolin/camera_record.h"

namespace camsim {
class SimulatedCamera;
} // namespace camsim

namespace tavolin::demo {

class SimulatedCamera {
public:
    // `scene`: a scene that answers PTZ and the other commands instead of the
    // fixed test pattern.
    explicit SimulatedCamera(bool scene);
    ~SimulatedCamera();
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    // Starts a camera of protocol 1 or 2 (or an RTSP or ONVIF camera, types 4
    // and 5) and writes its address, ports, login and protocol into `record`;
    // false when it did not start.
    bool start(int protocol, CameraRecord& record);

private:
    std::unique_ptr<camsim::SimulatedCamera> camera_;
    bool scene_;
};

} // namespace tavolin::demo
