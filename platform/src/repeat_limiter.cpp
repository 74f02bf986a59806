#include "platform/repeat_limiter.h"

#include <chrono>
#include <mutex>

namespace platform {

namespace {

constexpr const char* kOverflowKind = "";

int64_t steadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct ProcessLimiter {
    std::mutex mutex;
    RepeatLimiter limiter;
};

ProcessLimiter& processLimiter() {
    static ProcessLimiter limiter;
    return limiter;
}

} // namespace

RepeatLimiter::RepeatLimiter(int64_t intervalMs, std::size_t maxKinds) : intervalMs_(intervalMs), maxKinds_(maxKinds) {}

void RepeatLimiter::forgetQuietKinds(int64_t nowMs) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (nowMs - it->second.toldMs >= intervalMs_ && it->second.heldBack == 0)
            it = entries_.erase(it);
        else
            ++it;
    }
}

RepeatLimiter::Verdict RepeatLimiter::admit(const std::string& kind, int64_t nowMs) {
    auto it = entries_.find(kind);
    if (it == entries_.end()) {
        if (entries_.size() >= maxKinds_) forgetQuietKinds(nowMs);
        const bool room = entries_.size() < maxKinds_;
        it = entries_.find(room ? kind : kOverflowKind);
        if (it == entries_.end()) {
            entries_.emplace(room ? kind : kOverflowKind, Entry{nowMs, 0});
            return {true, 0};
        }
    }
    Entry& entry = it->second;
    if (nowMs - entry.toldMs < intervalMs_) {
        ++entry.heldBack;
        return {false, 0};
    }
    const Verdict verdict{true, entry.heldBack};
    entry = Entry{nowMs, 0};
    return verdict;
}

void diagnoseRepeating(const std::string& kind, const std::string& line) {
    if (!diagnosticsOn()) return;
    RepeatLimiter::Verdict verdict;
    {
        ProcessLimiter& p = processLimiter();
        std::lock_guard lock(p.mutex);
        verdict = p.limiter.admit(kind, steadyNowMs());
    }
    if (!verdict.tell) return;
    if (verdict.heldBack == 0)
        diagnose(line);
    else
        diagnose(line + " (" + std::to_string(verdict.heldBack) + " more like it held back)");
}

} // namespace platform
