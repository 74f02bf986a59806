// Whole-file replacement that never leaves a half-written file behind: the
// bytes go to a new temporary file of our own beside the target, are flushed
// to the disk, and the temporary file is then renamed over the target. A
// target that is a symbolic link is saved through: the file it points at is
// replaced and the link stays.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

#include "file_ops.h"

namespace ledra {

enum class ReplaceResult {
    kOk,
    kOpenFailed,  // the target is not a regular file, or no temporary file
    kReadOnly,    // the target's mode gives its owner no write permission
    kWriteFailed, // a write, flush, close or rename failed; the target is unchanged
};

// A regular file whose mode gives its owner no write permission.
bool isReadOnly(const struct stat& st);

// Writes `bytes` as the new content of `target`. The new file takes `mode`
// when given; otherwise an existing target keeps its permissions (and, where
// allowed, its owner), and a new one is created owner-only (0600).
ReplaceResult replaceFile(FileOps& ops, const std::string& target, std::string_view bytes,
                          std::optional<mode_t> mode = std::nullopt);

// Reads a whole regular file without ever waiting on it. Empty optional, with
// errno telling why, when it cannot be read, is no regular file (EINVAL) or
// holds more than kMaxFileBytes (EFBIG).
// A settings file of sixteen cameras is some 20 KB; one fifty times that is
// not one this store wrote, and reading it would hold up the program's start.
inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;
struct FileCopy {
    std::string bytes;
    mode_t mode = 0;
};
std::optional<FileCopy> readRegularFile(FileOps& ops, const std::string& path);

} // namespace ledra
