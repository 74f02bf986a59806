#include "capture/capture_config.h"

#include <filesystem>

#include "ledra/config_store.h"

namespace tavolin::ui {

CaptureConfig loadCaptureConfig(const std::string& path) {
    CaptureConfig config;
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return config;
    CM_Store* store = CM_OpenInterface();
    if (store == nullptr) return config;
    config.settings = recorder::readCaptureSettings(
        [&](const char* key) { return std::string(CM_GetValue(store, key, recorder::kCaptureSection, path.c_str())); },
        recorder::UserFolders::fromProcess());
    for (int i = 0; i < kCameraCount; ++i) {
        const std::string section = std::to_string(i);
        config.recordOnMotionSeconds[static_cast<std::size_t>(i)] =
            recorder::recordOnMotionSeconds(CM_GetValue(store, "RecordOnMotion", section.c_str(), path.c_str()));
    }
    // Closing writes back what was read: the file stays as it is.
    CM_CloseInterface(store);
    return config;
}

} // namespace tavolin::ui
