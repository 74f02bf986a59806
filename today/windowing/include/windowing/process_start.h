// Starting a program by its path on the handheld. Handheld paths
// ("\Program Files\Tavolin\Tavolin.exe") are mapped under a root folder of
// this machine: backslashes become folders, and a program named "X.exe" that
// is not there is looked for as "X" (programs here carry no extension).
#pragma once

#include <optional>
#include <string>

#include "windowing/drawing.h"

namespace windowing {

// The folder that stands for the handheld's root ("\"). Process-wide; the
// host sets it before it loads anything that starts programs.
TAVOLIN_WINDOWING_API void setDeviceRoot(const std::string& folder);
TAVOLIN_WINDOWING_API std::string deviceRoot();

// The local file an absolute handheld path names under `root`, if a program
// file exists there. Relative paths and ".." components are refused so that
// nothing outside the root is reached.
TAVOLIN_WINDOWING_API std::optional<std::string> mapDevicePath(const std::string& root, const std::string& devicePath);

// Starts the program at a handheld path with no arguments, detached from
// this process (it outlives the caller and is never a zombie of it). False
// when the path maps to no program or the program cannot be executed.
TAVOLIN_WINDOWING_API bool startProcess(const std::string& devicePath);

// How many programs startProcess has started in this process.
TAVOLIN_WINDOWING_API int startedProcessCount();

} // namespace windowing
