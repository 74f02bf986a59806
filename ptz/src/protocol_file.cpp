#include "protocol_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/diagnostics.h"

namespace tiltra {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

const char* tooLarge() { return "it is larger than 1 MB"; }

} // namespace

std::optional<std::string> readProtocolFile(const char* path, std::string& why) {
    // Non-blocking, so that a pipe without a writer does not hold the open.
    const FileDescriptor fd(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        why = platform::describeSystemError(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        why = platform::describeSystemError(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "it is not a regular file";
        return std::nullopt;
    }
    if (st.st_size > static_cast<off_t>(kMaxProtocolFileBytes)) {
        why = tooLarge();
        return std::nullopt;
    }
    // The size is checked again while reading: the file may grow meanwhile.
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            why = platform::describeSystemError(errno);
            return std::nullopt;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxProtocolFileBytes) {
            why = tooLarge();
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

} // namespace tiltra
