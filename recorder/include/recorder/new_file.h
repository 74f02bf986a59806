// Files the recorder makes: created new, never replacing one that is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace recorder {

// A file descriptor that closes itself.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    // Closes now; false (errno kept) when the close reported a failure.
    bool close();

private:
    int fd_ = -1;
};

struct CreatedFile {
    FileHandle file;
    std::string path;
};

// Creates `path` for writing. When the name is taken by a file, "-2",
// "-3", ... go in front of its extension until one is free. Nothing, with
// the reason in `error`, when the file cannot be made (a device or other
// special file at `path` is refused, never written beside).
std::optional<CreatedFile> createNewFile(const std::string& path, std::string& error);

// Whether createNewFile(path) can be expected to succeed, asked before a
// capture waits for its pictures: false, with the reason, when `path` names
// nothing, a device or other special file, or a place in a folder that is
// missing or cannot be written.
bool canCreateNewFile(const std::string& path, std::string& error);

// Writes `bytes` as a new file at `path` (or beside it, with a suffix);
// the path written, or nothing with the reason in `error` (and no file).
std::optional<std::string> writeNewFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

// Writes all of `size` bytes; false (errno kept) on failure.
bool writeAll(int fd, const void* data, std::size_t size);

} // namespace recorder
