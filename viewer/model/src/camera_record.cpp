#include "tavolin/camera_record.h"

#include <string>

namespace tavolin {

CameraRecord defaultCameraRecord(int index) {
    CameraRecord r{};
    r.index = index;
    setText(r.name, "Camera - " + std::to_string(index + 1));
    setText(r.host, "192.168.0.100");
    r.registerPort = 6000;
    r.controlPort = 6001;
    r.streamingPort = 6002;
    r.httpPort = 80;
    setText(r.userName, "Admin");
    setText(r.password, "604217");
    r.ptzAddress = 1;
    r.streamingType = 2;
    r.ptzSpeed = 3;
    return r;
}

} // namespace tavolin
