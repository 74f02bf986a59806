#include "platform/diagnostics.h"
#include "platform/printable_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

struct DiagnosticState {
    std::mutex mutex;
    DiagnosticSink sink;
    // Read once: the variable asks for standard error while no sink is set.
    const bool debugFromEnvironment = [] {
        const char* value = std::getenv("TAVOLIN_DEBUG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
};

DiagnosticState& state() {
    static DiagnosticState s;
    return s;
}

// The slot of the innermost ReasonScope on this thread.
thread_local ReasonSlot* tSlot = nullptr;

} // namespace

DiagnosticSink setDiagnosticSink(DiagnosticSink sink) {
    DiagnosticState& s = state();
    std::lock_guard lock(s.mutex);
    std::swap(s.sink, sink);
    return sink;
}

bool diagnosticsOn() {
    if (tSlot != nullptr) return true;
    DiagnosticState& s = state();
    std::lock_guard lock(s.mutex);
    return s.sink || s.debugFromEnvironment;
}

void diagnose(const std::string& line) {
    ReasonSlot* const slot = tSlot;
    DiagnosticState& s = state();
    try {
        if (slot == nullptr && !diagnosticsOn()) return;
        const std::string printable = printableText(line);
        if (slot != nullptr) slot->keep(printable);
        std::lock_guard lock(s.mutex);
        if (s.sink)
            s.sink(printable);
        else if (s.debugFromEnvironment)
            writeToStandardError(printable);
    } catch (...) {
        // A reason that cannot be told must not turn into a failure.
    }
}

std::string ReasonSlot::last() const {
    std::lock_guard lock(mutex_);
    return last_;
}

void ReasonSlot::keep(const std::string& line) {
    const std::size_t length = utf8PrefixLength(line, kMaxBytes);
    {
        std::lock_guard lock(mutex_);
        last_.assign(line, 0, length);
    }
    ++count_;
}

ReasonSlot* currentReasonSlot() { return tSlot; }

ReasonScope::ReasonScope(ReasonSlot* slot) : outer_(tSlot) { tSlot = slot; }

ReasonScope::~ReasonScope() { tSlot = outer_; }

void writeToStandardError(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

std::string describeSystemError(int error) {
    switch (error) {
    case 0: return "no error reported";
    case ECONNREFUSED: return "connection refused";
    case ETIMEDOUT: return "timed out";
    case EHOSTUNREACH: return "host unreachable";
    case ENETUNREACH: return "network unreachable";
    case ECONNRESET: return "connection reset by the peer";
    case EPIPE: return "connection closed by the peer";
    case EINVAL: return "invalid address or port";
    case EACCES: return "not permitted";
    default: break;
    }
    char buffer[128];
    // The GNU strerror_r returns the text, which may not be in buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text != nullptr && *text != '\0' ? std::string(text) : "error " + std::to_string(error);
}

} // namespace platform
