#include "demo/simulated_camera.h"

#include <string>
#include <utility>

#include "camsim/simulated_camera.h"

namespace tavolin::demo {

SimulatedCamera::SimulatedCamera(bool scene) : scene_(scene) {}

SimulatedCamera::~SimulatedCamera() = default;

bool SimulatedCamera::start(int protocol, CameraRecord& record) {
    camsim::CameraOptions options;
    options.video.resolutionCode = 0; // 720 x 480
    options.video.frameRate = 30;
    options.scene.enabled = scene_;
    options.scene.name = std::string(textOf(record.name));
    camera_ = std::make_unique<camsim::SimulatedCamera>(protocol, options);
    if (!camera_->start()) return false;
    const camsim::SettingsCamera where = camera_->section();
    record.streamingType = protocol;
    record.showName = 1;
    setText(record.host, where.host);
    setText(record.userName, where.user);
    setText(record.password, where.password);
    // Ports the camera kind has no use for keep the record's values.
    for (auto [port, field] :
         {std::pair{where.registerPort, &record.registerPort}, std::pair{where.controlPort, &record.controlPort},
          std::pair{where.streamingPort, &record.streamingPort}, std::pair{where.httpPort, &record.httpPort}}) {
        if (port != 0) *field = port;
    }
    return true;
}

} // namespace tavolin::demo
