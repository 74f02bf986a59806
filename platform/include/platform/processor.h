// The processor's name, as the stream client needs it to pick a decoder.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct ProcessorInfo {
    bool ok = false;      // false when the information could not be read
    std::string name;     // e.g. "Intel(R) Xeon(R) ..." or "ARMv7 Processor rev 10"
    std::string coreName; // the board or core name where the system gives one
};

// Reads the processor name from the kernel's cpuinfo text (path replaceable
// for tests). ok is false when the file cannot be read or names nothing.
ProcessorInfo readProcessorInfo(const std::string& cpuInfoPath = "/proc/cpuinfo");

// Parses cpuinfo text: name from "model name" (or "Processor", "cpu model"),
// core name from "Hardware" (or "Model").
ProcessorInfo parseCpuInfo(std::string_view text);

} // namespace platform
