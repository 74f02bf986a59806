#include "recorder/capture_settings.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace recorder {

namespace {

constexpr const char* kProductFolder = "Tavolin";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::optional<int> numberFrom(const std::string& text, int lowest) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end || value < lowest) return std::nullopt;
    return value;
}

// The pictures folder a desktop keeps in user-dirs.dirs:
// XDG_PICTURES_DIR="$HOME/Pictures" (an absolute path, or one under $HOME).
std::string picturesFromUserDirs(const UserFolders& folders) {
    const std::string configHome = !folders.configHome.empty() ? folders.configHome : folders.home + "/.config";
    std::ifstream file(configHome + "/user-dirs.dirs");
    std::string line;
    constexpr std::string_view kKey = "XDG_PICTURES_DIR=";
    while (std::getline(file, line)) {
        if (line.compare(0, kKey.size(), kKey) != 0) continue;
        std::string value = line.substr(kKey.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0) return folders.home + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return {};
}

} // namespace

UserFolders UserFolders::fromProcess() {
    return {environment("HOME"), environment("XDG_PICTURES_DIR"), environment("XDG_CONFIG_HOME")};
}

std::string defaultCaptureFolder(const UserFolders& folders) {
    std::string pictures = folders.picturesDir;
    if (pictures.empty()) pictures = picturesFromUserDirs(folders);
    if (pictures.empty()) pictures = folders.home + "/Pictures";
    return (std::filesystem::path(pictures) / kProductFolder).string();
}

RecorderSettings CaptureSettings::recorderSettings() const {
    RecorderSettings s;
    s.preRoll.durationMs = int64_t{preRollSeconds} * 1000;
    s.preRoll.maxBytes = static_cast<std::size_t>(preRollMegabytes) << 20;
    s.clip.maxFileMs = int64_t{clipMinutes} * 60 * 1000;
    s.clip.maxFileBytes = static_cast<uint64_t>(clipMegabytes) << 20;
    s.clip.minFreeBytes = static_cast<uint64_t>(keepFreeMegabytes) << 20;
    return s;
}

CaptureSettings readCaptureSettings(const std::function<std::string(const char* key)>& value,
                                    const UserFolders& folders) {
    CaptureSettings s;
    s.folder = value("Folder");
    if (s.folder.compare(0, 2, "~/") == 0) s.folder = folders.home + s.folder.substr(1);
    if (s.folder.empty()) s.folder = defaultCaptureFolder(folders);
    auto number = [&](const char* key, int& field, int lowest) {
        if (const std::optional<int> n = numberFrom(value(key), lowest)) field = *n;
    };
    number("PreRollSeconds", s.preRollSeconds, 0);
    number("PreRollMegabytes", s.preRollMegabytes, 1);
    number("ClipMinutes", s.clipMinutes, 1);
    number("ClipMegabytes", s.clipMegabytes, 1);
    number("KeepFreeMegabytes", s.keepFreeMegabytes, 0);
    return s;
}

int recordOnMotionSeconds(const std::string& value) { return numberFrom(value, 1).value_or(0); }

bool prepareCaptureFolder(const std::string& folder, std::string& message) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        message = "cannot make the capture folder " + folder + ": " + error.message();
        return false;
    }
    if (!std::filesystem::is_directory(folder, error)) {
        message = "the capture folder " + folder + " is not a folder";
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        message = "cannot write to the capture folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace recorder
