// Whole-file replacement that never leaves a half-written file behind: the
// bytes go to a new temporary file of our own beside the target, are flushed
// to the disk, and the temporary file is then renamed over the target. A
// target that is a symbolic link is saved through: the file it points at is
// replaced and the link stays.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "file_ops.h"

namespace ledra {

enum class ReplaceResult {
  kOk,
  kOpenFailed,   // the target is not a regular file, or no temporary file
  kWriteFailed,  // a write, flush, close or rename failed; the target is unchanged
};

// Writes `bytes` as the new content of `target`. The new file takes `mode`
// when given; otherwise an existing target keeps its permissions (and, where
// allowed, its owner), and a new one is created owner-only (0600).
ReplaceResult replaceFile(FileOps& ops, const std::string& target, std::string_view bytes,
                          std::optional<mode_t> mode = std::nullopt);

// Reads a whole regular file. Empty optional when it cannot be read.
struct FileCopy {
  std::string bytes;
  mode_t mode = 0;
};
std::optional<FileCopy> readRegularFile(FileOps& ops, const std::string& path);

}  // namespace ledra
