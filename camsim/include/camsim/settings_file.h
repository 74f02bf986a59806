// The viewer's settings file for a set of simulated cameras: one section per
// camera, in the viewer's own keys and order, every record pointing at the
// simulator, so the demo is one command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camsim {

struct SettingsCamera {
    std::string name;
    std::string host = "127.0.0.1";
    int streamingType = 2; // 1, 2, 4 (RTSP: host holds the whole rtsp:// URL) or 5 (ONVIF)
    uint16_t registerPort = 0;
    uint16_t controlPort = 0;
    uint16_t streamingPort = 0;
    uint16_t httpPort = 0;
    std::string user;
    std::string password;
    int ptzAddress = 1;
    std::string ptzProtocolFile; // empty: PTZ off
    bool quadServer = false;
};

inline constexpr int kSettingsSections = 16;

// The whole file. Sections beyond the cameras also point at 127.0.0.1 (at
// the first camera's ports), so that no record of the file reaches for a
// camera on the network; they are left out of the switch group.
std::string settingsFileText(const std::vector<SettingsCamera>& cameras);
bool writeSettingsFile(const std::string& path, const std::vector<SettingsCamera>& cameras);

} // namespace camsim
