// libav's messages (libavformat, libavcodec, libswscale, ...) go where every
// other reason goes: to diagnose(), silent unless a sink is set or
// TAVOLIN_DEBUG=1, and then each kind of message at most once a second with
// a count of those held back. libav has one log callback per process while
// several plug-ins link it, so the callback lives in this one small library
// (never unloaded), not in the plug-ins.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#define TAVOLIN_LIBAV_LOG_API __attribute__((visibility("default")))

namespace platform {

// Installs the callback; cheap and harmless to call again (each plug-in calls
// it before it uses libav, which also takes the callback back from anyone
// who replaced it). Messages above libav's "info" level are dropped, as libav
// itself drops them by default.
TAVOLIN_LIBAV_LOG_API void routeLibavLog();

// Hands the messages libav logs for one context (an AVFormatContext, say)
// with one of `formats` (the format text exactly as libav's source has it,
// "line='%s'\n"), at every level including trace, to `handler` while the
// watch lives; only those are formatted, so a watch costs little however
// much else libav logs. No lock is taken on a log call: the handler runs on
// the logging thread while the destructor waits for it to return, so it must
// be quick and must not log through libav itself. At most 64 watches at once
// see anything (a further one's confirm() says false).
class TAVOLIN_LIBAV_LOG_API LibavLogWatch {
public:
    using Handler = std::function<void(int level, std::string_view message)>;
    LibavLogWatch(const void* context, std::vector<std::string> formats, Handler handler);
    ~LibavLogWatch();
    LibavLogWatch(const LibavLogWatch&) = delete;
    LibavLogWatch& operator=(const LibavLogWatch&) = delete;

    // Routes libav's log here (routeLibavLog) and proves it: logs a probe for
    // the context and tells whether it arrived. False means another callback
    // took libav's log, and the watch sees nothing.
    bool confirm();

    // For the callback only.
    const void* context() const { return context_; }
    bool wants(const char* format) const;
    void deliver(int level, std::string_view message) const { handler_(level, message); }
    void probeArrived() { probeArrived_.store(true); }

private:
    const void* const context_;
    const std::vector<std::string> formats_;
    const Handler handler_;
    std::atomic<bool> probeArrived_{false};
    void* slot_ = nullptr; // where the callback finds it; null: none was free
};

} // namespace platform
