#include "simulated_camera.h"

#include <cstring>

#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"

namespace watch {

namespace {

camsim::CameraOptions loopbackOptions() {
    camsim::CameraOptions options;
    options.host = "127.0.0.1";
    options.user = "admin";
    options.password = "admin";
    options.video.resolutionCode = 1; // 352 x 240
    options.video.frameRate = 30;
    return options;
}

void login(MediaConfig& config, const camsim::CameraOptions& options) {
    std::memset(config.cameraAddress, 0, sizeof config.cameraAddress);
    std::strcpy(config.cameraAddress, "127.0.0.1");
    std::memset(config.userName, 0, sizeof config.userName);
    std::strncpy(config.userName, options.user.c_str(), sizeof config.userName - 1);
    std::memset(config.password, 0, sizeof config.password);
    std::strncpy(config.password, options.password.c_str(), sizeof config.password - 1);
}

class SimulatedV1 final : public SimulatedCamera {
public:
    SimulatedV1() : camera_(loopbackOptions()) {}
    bool start() { return camera_.start(); }
    void describe(MediaConfig& config) const override {
        login(config, camera_.options());
        config.registerPort = camera_.loginPort();
        config.controlPort = camera_.controlPort();
        config.streamingPort = camera_.mediaPort();
    }

private:
    camsim::V1Camera camera_;
};

class SimulatedV2 final : public SimulatedCamera {
public:
    SimulatedV2() : camera_(loopbackOptions()) {}
    bool start() { return camera_.start(); }
    void describe(MediaConfig& config) const override {
        login(config, camera_.options());
        config.controlPort = camera_.controlPort();
        config.streamingPort = camera_.videoPort();
        config.httpPort = camera_.httpPort();
    }

private:
    camsim::V2Camera camera_;
};

} // namespace

std::unique_ptr<SimulatedCamera> startSimulatedCamera(int streamingType, std::string& error) {
    if (streamingType == 1) {
        auto camera = std::make_unique<SimulatedV1>();
        if (camera->start()) return camera;
    } else if (streamingType == 2) {
        auto camera = std::make_unique<SimulatedV2>();
        if (camera->start()) return camera;
    } else {
        error = "no simulated camera for streaming type " + std::to_string(streamingType);
        return nullptr;
    }
    error = "the simulated camera did not start";
    return nullptr;
}

} // namespace watch
