#include "platform/user_settings_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

bool makeFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Takes group and other rights away from what `path` names when it is of
// the kind wanted and this user's. Opened without following a link or
// waiting on a pipe; the rights are changed on what was opened.
void tighten(const std::string& path, int flags, bool folder) {
    const int fd = ::open(path.c_str(), flags | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    const bool kindOk = ::fstat(fd, &st) == 0 && (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
    if (kindOk && st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) ::fchmod(fd, st.st_mode & 07700);
    ::close(fd);
}

} // namespace

void keepOwnerOnly(const std::string& settingsFile) { tighten(settingsFile, 0, false); }

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
    // One made earlier, by hand or under another umask, is made owner-only too.
    tighten(folder, O_DIRECTORY, true);
    return folder;
}

} // namespace platform
