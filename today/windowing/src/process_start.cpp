#include "windowing/process_start.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>
#include <vector>

namespace windowing {

namespace {

std::atomic<int>& startedCount() {
    static std::atomic<int> count{0};
    return count;
}

std::string& rootFolder() {
    static std::string folder;
    return folder;
}

bool isProgramFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool endsWithExe(std::string_view name) {
    if (name.size() < 4) return false;
    std::string_view tail = name.substr(name.size() - 4);
    static constexpr std::string_view kExe = ".exe";
    for (std::size_t i = 0; i < 4; ++i)
        if ((tail[i] | 0x20) != kExe[i]) return false;
    return true;
}

// Starts `file` as a grandchild so it is reparented at once and never waits
// to be reaped by us. A close-on-exec pipe tells whether exec succeeded.
bool spawnDetached(const std::string& file) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    // Everything the children use is prepared here: after fork only
    // async-signal-safe calls are allowed.
    std::string program = file;
    char* argv[] = {program.data(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(argv[0], argv);
            int error = errno;
            (void)!::write(fds[1], &error, sizeof error);
            ::_exit(127);
        }
        if (grandchild < 0) {
            int error = errno;
            (void)!::write(fds[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    int error = 0;
    ssize_t n;
    do {
        n = ::read(fds[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    return n == 0;
}

} // namespace

void setDeviceRoot(const std::string& folder) { rootFolder() = folder; }

std::string deviceRoot() { return rootFolder(); }

std::optional<std::string> mapDevicePath(const std::string& root, const std::string& devicePath) {
    if (root.empty() || devicePath.empty() || (devicePath[0] != '\\' && devicePath[0] != '/')) return std::nullopt;
    std::vector<std::string_view> parts;
    std::string_view rest(devicePath);
    while (!rest.empty()) {
        const std::size_t cut = rest.find_first_of("\\/");
        std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (part.empty()) continue;
        if (part == "." || part == ".." || part.find('\0') != std::string_view::npos) return std::nullopt;
        parts.push_back(part);
    }
    if (parts.empty()) return std::nullopt;
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    for (std::string_view part : parts) {
        path += '/';
        path += part;
    }
    if (isProgramFile(path)) return path;
    if (endsWithExe(parts.back())) {
        path.resize(path.size() - 4);
        if (isProgramFile(path)) return path;
    }
    return std::nullopt;
}

bool startProcess(const std::string& devicePath) {
    const auto file = mapDevicePath(rootFolder(), devicePath);
    if (!file || !spawnDetached(*file)) return false;
    startedCount().fetch_add(1);
    return true;
}

int startedProcessCount() { return startedCount().load(); }

} // namespace windowing
