#include "recorder/new_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <unistd.h>

namespace recorder {

namespace {

// More files of one name than anybody takes in one second.
constexpr int kMaxSuffix = 999;

std::string withSuffix(const std::string& path, int n) {
    if (n < 2) return path;
    const std::filesystem::path p(path);
    std::filesystem::path named = p.parent_path() / (p.stem().string() + "-" + std::to_string(n));
    named += p.extension();
    return named.string();
}

// A name taken by something that is no regular file (a device, a pipe, a
// socket): the reason, else empty.
std::string specialFileAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    if (S_ISDIR(st.st_mode)) return path + " is a folder";
    return path + " is a device or other special file, no file to write";
}

} // namespace

FileHandle::~FileHandle() { close(); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int FileHandle::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool FileHandle::close() {
    if (fd_ < 0) return true;
    const int fd = release();
    return ::close(fd) == 0;
}

std::optional<CreatedFile> createNewFile(const std::string& path, std::string& error) {
    for (int n = 1; n <= kMaxSuffix; ++n) {
        const std::string candidate = withSuffix(path, n);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) return CreatedFile{FileHandle(fd), candidate};
        if (errno != EEXIST) {
            error = "cannot create " + candidate + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (std::string special = specialFileAt(candidate); !special.empty()) {
            error = "cannot create " + special;
            return std::nullopt;
        }
    }
    error = "cannot create " + path + ": every name up to -" + std::to_string(kMaxSuffix) + " is taken";
    return std::nullopt;
}

bool canCreateNewFile(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no file name given";
        return false;
    }
    if (std::string special = specialFileAt(path); !special.empty()) {
        error = special;
        return false;
    }
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::optional<std::string> writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error) {
    std::optional<CreatedFile> file = createNewFile(path, error);
    if (!file) return std::nullopt;
    if (!writeAll(file->file.get(), bytes.data(), bytes.size()) || !file->file.close()) {
        error = "cannot write " + file->path + ": " + std::strerror(errno);
        ::unlink(file->path.c_str());
        return std::nullopt;
    }
    return file->path;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace recorder
