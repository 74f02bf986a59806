#include "demo/simulated_camera.h"

#include <string>

#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"

namespace tavolin::demo {

SimulatedCamera::SimulatedCamera(bool scene) : scene_(scene) {}

SimulatedCamera::~SimulatedCamera() = default;

bool SimulatedCamera::start(int protocol, CameraRecord& record) {
    camsim::CameraOptions options;
    options.host = "127.0.0.1";
    options.video.resolutionCode = 0; // 720 x 480
    options.video.frameRate = 30;
    options.scene.enabled = scene_;
    options.scene.name = std::string(textOf(record.name));
    setText(record.host, "127.0.0.1");
    setText(record.userName, options.user);
    setText(record.password, options.password);
    record.streamingType = protocol;
    record.showName = 1;
    if (protocol == 1) {
        v1_ = std::make_unique<camsim::V1Camera>(options);
        if (!v1_->start()) return false;
        record.registerPort = v1_->loginPort();
        record.controlPort = v1_->controlPort();
        record.streamingPort = v1_->mediaPort();
        return true;
    }
    v2_ = std::make_unique<camsim::V2Camera>(options);
    if (!v2_->start()) return false;
    record.controlPort = v2_->controlPort();
    record.streamingPort = v2_->videoPort();
    record.httpPort = v2_->httpPort();
    return true;
}

} // namespace tavolin::demo
