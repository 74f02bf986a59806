// Collects the diagnostic lines told while it lives; for tests and for
// programs that show a failure's reason after the fact.
#pragma once

#include "platform/diagnostics.h"

#include <mutex>
#include <string>
#include <vector>

namespace platform {

class DiagnosticCapture {
public:
    DiagnosticCapture() {
        previous_ = setDiagnosticSink([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~DiagnosticCapture() { setDiagnosticSink(std::move(previous_)); }
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // All lines in one text, one per line, for matching in tests.
    std::string text() const {
        std::string all;
        for (const auto& line : lines()) all += line + "\n";
        return all;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    DiagnosticSink previous_;
};

} // namespace platform
