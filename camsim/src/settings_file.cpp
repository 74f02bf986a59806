#include "camsim/settings_file.h"

#include <fstream>
#include <utility>

namespace camsim {

namespace {

void section(std::string& out, int index, const SettingsCamera& c, bool active) {
    const std::vector<std::pair<const char*, std::string>> keys = {
        {"CameraName", c.name},
        {"CameraIP", c.host},
        {"RegisterPort", std::to_string(c.registerPort)},
        {"ControlPort", std::to_string(c.controlPort)},
        {"StreamingPort", std::to_string(c.streamingPort)},
        {"HTTPPort", std::to_string(c.httpPort)},
        {"CameraUserName", c.user},
        {"CameraPassword", c.password},
        {"UseStreamingEngine", "0"},
        {"StreamingEngineIP", ""},
        {"StreamingEngineUserName", ""},
        {"StreamingEnginePassword", ""},
        {"EnablePTZ", active && !c.ptzProtocolFile.empty() ? "1" : "0"},
        {"PTZProtocolSourceType", active && !c.ptzProtocolFile.empty() ? "1" : "0"},
        {"PTZVender", ""},
        {"PTZProtocol", ""},
        {"PTZProtocolFileName", active ? c.ptzProtocolFile : ""},
        {"JoinPatorlGroup", active ? "1" : "0"},
        {"PlayAudio", "0"},
        {"Qaud", active && c.quadServer ? "1" : "0"},
        {"ShowCameraName", active ? "1" : "0"},
        {"ShowEvent", active ? "1" : "0"},
        {"SerialControl", "0"},
        {"SerialBaudRate", "0"},
        {"PTZAddressID", std::to_string(c.ptzAddress)},
        {"StreamingType", std::to_string(c.streamingType)},
        {"PTZSpeed", "3"},
    };
    out += "[" + std::to_string(index) + "]\n";
    for (const auto& [key, value] : keys) out += std::string(key) + "=" + value + "\n";
}

} // namespace

std::string settingsFileText(const std::vector<SettingsCamera>& cameras) {
    std::string out;
    for (int i = 0; i < kSettingsSections; ++i) {
        if (i < static_cast<int>(cameras.size())) {
            section(out, i, cameras[static_cast<std::size_t>(i)], true);
            continue;
        }
        SettingsCamera spare = cameras.empty() ? SettingsCamera{} : cameras.front();
        spare.name = "Camera - " + std::to_string(i + 1);
        spare.host = "127.0.0.1";
        spare.quadServer = false;
        section(out, i, spare, false);
    }
    return out;
}

bool writeSettingsFile(const std::string& path, const std::vector<SettingsCamera>& cameras) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << settingsFileText(cameras);
    file.close();
    return static_cast<bool>(file);
}

} // namespace camsim
