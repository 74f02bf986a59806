// Reading a protocol file that a user chose: whatever sits at the path, the
// read never waits and never runs on without end.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tiltra {

// No protocol file comes near this; the shipped ones hold a few kilobytes.
inline constexpr std::size_t kMaxProtocolFileBytes = 1024 * 1024;

// The whole file, or nothing with `why` telling the reason: it could not be
// opened, it is not a regular file (a pipe, a device, a folder), or it holds
// more than kMaxProtocolFileBytes.
std::optional<std::string> readProtocolFile(const char* path, std::string& why);

} // namespace tiltra
