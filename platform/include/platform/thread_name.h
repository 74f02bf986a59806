// Names the calling thread, so that per-thread tools (top -H, perf, the
// benchmarks' per-thread figures) tell a program's threads apart. The system
// keeps at most kMaxThreadNameLength characters; longer names are cut.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::size_t kMaxThreadNameLength = 15;

void nameThisThread(std::string_view name);
// The calling thread's name as the system keeps it.
std::string thisThreadName();

} // namespace platform
