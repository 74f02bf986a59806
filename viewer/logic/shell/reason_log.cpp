#include "shell/reason_log.h"

#include <cstdlib>
#include <cstring>

namespace tavolin::ui {
namespace {

constexpr std::size_t kKept = 16;

} // namespace

QString reasonForUser(std::string_view line) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string_view::npos && line.find(' ') >= colon) line.remove_prefix(colon + 2);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

ReasonLog::ReasonLog() {
    const char* debug = std::getenv("TAVOLIN_DEBUG");
    echo_ = debug != nullptr && std::strcmp(debug, "1") == 0;
    previous_ = platform::setDiagnosticSink([this](const std::string& line) { take(line); });
}

ReasonLog::~ReasonLog() { platform::setDiagnosticSink(std::move(previous_)); }

void ReasonLog::take(const std::string& line) {
    if (echo_) platform::writeToStandardError(line);
    std::lock_guard lock(lock_);
    lines_.push_back(line);
    if (lines_.size() > kKept) lines_.pop_front();
    ++told_;
}

uint64_t ReasonLog::mark() const {
    std::lock_guard lock(lock_);
    return told_;
}

QString ReasonLog::lastSince(uint64_t mark) const {
    std::lock_guard lock(lock_);
    if (told_ <= mark || lines_.empty()) return {};
    return reasonForUser(lines_.back());
}

} // namespace tavolin::ui
