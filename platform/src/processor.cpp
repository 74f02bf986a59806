#include "platform/processor.h"

#include <fstream>
#include <sstream>

namespace platform {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

} // namespace

ProcessorInfo parseCpuInfo(std::string_view text) {
    ProcessorInfo info;
    std::string fallbackName;
    std::string fallbackCore;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = trim(line.substr(0, colon));
        const std::string_view value = trim(line.substr(colon + 1));
        if (value.empty()) continue;
        if (key == "model name" && info.name.empty())
            info.name = value;
        else if ((key == "Processor" || key == "cpu model") && fallbackName.empty())
            fallbackName = value;
        else if (key == "Hardware" && info.coreName.empty())
            info.coreName = value;
        else if (key == "Model" && fallbackCore.empty())
            fallbackCore = value;
    }
    if (info.name.empty()) info.name = fallbackName;
    if (info.coreName.empty()) info.coreName = fallbackCore;
    info.ok = !info.name.empty() || !info.coreName.empty();
    return info;
}

ProcessorInfo readProcessorInfo(const std::string& cpuInfoPath) {
    std::ifstream in(cpuInfoPath);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parseCpuInfo(text.str());
}

} // namespace platform
