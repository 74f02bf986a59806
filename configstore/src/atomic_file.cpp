#include "atomic_file.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace ledra {
namespace {

constexpr mode_t kNewFileMode = 0600;
// As many links in a row as the kernel itself follows.
constexpr int kMaxLinkHops = 40;
// A save's temporary file is "<target>.saving-" and six letters or digits: a
// name no person gives a file, so that leftovers can be told apart.
constexpr std::string_view kTempInfix = ".saving-";
constexpr std::size_t kTempRandom = 6;
// A save takes milliseconds; a temporary file of ours older than this was
// left by a save that never ended (the program was killed).
constexpr time_t kStaleSeconds = 60;

// Closes the descriptor (if still open) and removes the temporary file unless
// the replacement went through.
class TempFile {
public:
    // The file is created beside `target`, under a name only this save uses.
    TempFile(FileOps& ops, const std::string& target)
        : ops_(ops), path_(target + std::string(kTempInfix) + std::string(kTempRandom, 'X')) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (fd_ >= 0) ops_.close(fd_);
        if (!kept_ && created_) ops_.unlink(path_.c_str());
    }

    bool create() {
        std::vector<char> name(path_.begin(), path_.end());
        name.push_back('\0');
        fd_ = ops_.mkostemp(name.data(), O_CLOEXEC);
        created_ = fd_ >= 0;
        if (created_) path_ = name.data();
        return created_;
    }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Closing can report a failed write-back (e.g. on network file systems);
    // the descriptor is gone afterwards whatever the result.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ops_.close(fd) == 0;
    }
    void keep() { kept_ = true; }

private:
    FileOps& ops_;
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    bool kept_ = false;
};

bool writeAll(FileOps& ops, int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ops.write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false; // no progress: treat like a full disk
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes the rename itself durable. Best effort: some file systems refuse to
// sync a directory, and the new content is already safe on the disk.
void syncDirectory(FileOps& ops, const std::string& path) {
    const int fd = ops.open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    ops.fsync(fd);
    ops.close(fd);
}

// The file a save replaces: the target itself, or where its chain of
// symbolic links ends (relative links count from the link's own folder). A
// chain that ends nowhere yet names the file to create. Empty when a link
// cannot be read or the chain loops.
std::optional<std::string> resolveLinks(FileOps& ops, std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (ops.lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return path;
            return std::nullopt;
        }
        if (!S_ISLNK(st.st_mode)) return path;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ops.readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) return std::nullopt;
        link.resize(static_cast<size_t>(n));
        path = link.front() == '/' ? link : directoryOf(path) + "/" + link;
    }
    errno = ELOOP;
    return std::nullopt;
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isLeftoverName(std::string_view name, std::string_view base) {
    if (name.size() != base.size() + kTempInfix.size() + kTempRandom) return false;
    if (name.substr(0, base.size()) != base || name.substr(base.size(), kTempInfix.size()) != kTempInfix) return false;
    for (const char c : name.substr(base.size() + kTempInfix.size())) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

// Removes what saves of `target` that were killed half-way left behind: our
// own temporary files, regular, owned by this user and old enough that no
// save can still be writing them.
void removeLeftovers(FileOps& ops, const std::string& target) {
    const std::string folder = directoryOf(target);
    const std::string base = baseNameOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (!isLeftoverName(entry->d_name, base)) continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st {};
        if (ops.lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (now - st.st_mtime < kStaleSeconds) continue;
        ops.unlink(path.c_str());
    }
    ::closedir(dir);
}

} // namespace

bool isReadOnly(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

ReplaceResult replaceFile(FileOps& ops, const std::string& named, std::string_view bytes, std::optional<mode_t> mode) {
    const std::optional<std::string> resolved = resolveLinks(ops, named);
    if (!resolved) return ReplaceResult::kOpenFailed;
    const std::string& target = *resolved;
    struct stat st {};
    bool exists = false;
    if (ops.stat(target.c_str(), &st) == 0) {
        // Never rename a regular file over a device, pipe or folder (a save to
        // /dev/full must fail, not replace the device node).
        if (!S_ISREG(st.st_mode)) return ReplaceResult::kOpenFailed;
        // The folder would allow the rename, root's access() too; the file's own
        // mode says it is not to be changed.
        if (isReadOnly(st)) return ReplaceResult::kReadOnly;
        exists = true;
    } else if (errno != ENOENT) {
        return ReplaceResult::kOpenFailed;
    }

    removeLeftovers(ops, target);
    TempFile temp(ops, target);
    if (!temp.create()) return ReplaceResult::kOpenFailed;

    if (exists) ops.fchown(temp.fd(), st.st_uid, st.st_gid); // only root may; harmless otherwise
    const mode_t wanted = mode ? *mode : (exists ? (st.st_mode & 07777) : kNewFileMode);
    if (ops.fchmod(temp.fd(), wanted) != 0) return ReplaceResult::kWriteFailed;

    if (!writeAll(ops, temp.fd(), bytes)) return ReplaceResult::kWriteFailed;
    if (ops.fsync(temp.fd()) != 0) return ReplaceResult::kWriteFailed;
    if (!temp.close()) return ReplaceResult::kWriteFailed;
    if (ops.rename(temp.path().c_str(), target.c_str()) != 0) return ReplaceResult::kWriteFailed;
    temp.keep();
    syncDirectory(ops, target);
    return ReplaceResult::kOk;
}

std::optional<FileCopy> readRegularFile(FileOps& ops, const std::string& path) {
    // Never waits: a pipe or device in the file's place is refused, not read.
    const int fd = ops.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    struct Closer {
        FileOps& ops;
        int fd;
        ~Closer() { ops.close(fd); }
    } closer{ops, fd};

    struct stat st {};
    if (ops.fstat(fd, &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }

    if (st.st_size > static_cast<off_t>(kMaxFileBytes)) {
        errno = EFBIG;
        return std::nullopt;
    }

    FileCopy copy;
    copy.mode = st.st_mode & 07777;
    char buf[8192];
    for (;;) {
        const ssize_t n = ops.read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        // It may still be growing as it is read.
        if (copy.bytes.size() + static_cast<size_t>(n) > kMaxFileBytes) {
            errno = EFBIG;
            return std::nullopt;
        }
        copy.bytes.append(buf, static_cast<size_t>(n));
    }
    return copy;
}

} // namespace ledra
