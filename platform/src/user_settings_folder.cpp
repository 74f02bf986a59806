#include "platform/user_settings_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

bool makeFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<std::string> userSettingsFolder() {
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') return std::nullopt;
        base = std::string(home) + "/.config";
        if (!makeFolder(base, 0700)) return std::nullopt;
    }
    const std::string folder = base + "/Tavolin";
    if (!makeFolder(folder, 0700)) return std::nullopt;
    return folder;
}

} // namespace platform
