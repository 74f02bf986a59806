#include "platform/libav_log.h"

#include "platform/diagnostics.h"
#include "platform/repeat_limiter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

namespace {

// The probe's text is never shown: the callback recognises it by address.
constexpr char kProbe[] = "log route probe %d";
constexpr int kLineBytes = 1024;
// A watch gets whole RTSP requests and answer lines, which libav keeps
// within 4,096 bytes.
constexpr int kWatchedBytes = 8192;

struct Watches {
    std::mutex mutex;
    std::vector<LibavLogWatch*> list;
    std::atomic<int> count{0};
};

Watches& watches() {
    static Watches w;
    return w;
}

std::string_view withoutLineEnd(const char* text) {
    std::string_view view(text);
    while (!view.empty() && (view.back() == '\n' || view.back() == '\r')) view.remove_suffix(1);
    return view;
}

void deliverToWatch(void* context, int level, const char* format, va_list args) {
    Watches& w = watches();
    std::lock_guard lock(w.mutex);
    const auto it = std::find_if(w.list.begin(), w.list.end(),
                                 [context](const LibavLogWatch* watch) { return watch->context() == context; });
    if (it == w.list.end()) return;
    if (format == kProbe) {
        (*it)->probeArrived();
        return;
    }
    if (!(*it)->wants(format)) return;
    char text[kWatchedBytes];
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    (*it)->deliver(level, withoutLineEnd(text));
}

// The kind a message is held back by: its component and its format, so that
// a flood of one message with changing numbers counts as one.
std::string kindOf(void* context, const char* format) {
    const AVClass* component = context != nullptr ? *static_cast<AVClass* const*>(context) : nullptr;
    return std::string(component != nullptr ? component->class_name : "") + "\n" + format;
}

void route(void* context, int level, const char* format, va_list args) {
    if (format == nullptr) return;
    if (context != nullptr && watches().count.load(std::memory_order_acquire) > 0)
        deliverToWatch(context, level, format, args);
    if (level > AV_LOG_INFO || format == kProbe) return;
    // libav's complaints are no stream's reason: they go to the sink alone,
    // never into the reason slot of the stream whose thread logs them.
    const ReasonScope outsideAnyStream(nullptr);
    if (!diagnosticsOn()) return;
    char text[kLineBytes];
    int printPrefix = 1;
    va_list copy;
    va_copy(copy, args);
    av_log_format_line2(context, level, format, copy, text, sizeof text, &printPrefix);
    va_end(copy);
    const std::string_view line = withoutLineEnd(text);
    if (line.empty()) return;
    diagnoseRepeating(kindOf(context, format), "libav: " + std::string(line));
}

} // namespace

void routeLibavLog() { av_log_set_callback(&route); }

LibavLogWatch::LibavLogWatch(const void* context, std::vector<std::string> formats, Handler handler)
    : context_(context), formats_(std::move(formats)), handler_(std::move(handler)) {
    Watches& w = watches();
    std::lock_guard lock(w.mutex);
    w.list.push_back(this);
    w.count.store(static_cast<int>(w.list.size()), std::memory_order_release);
}

LibavLogWatch::~LibavLogWatch() {
    Watches& w = watches();
    std::lock_guard lock(w.mutex);
    w.list.erase(std::remove(w.list.begin(), w.list.end(), this), w.list.end());
    w.count.store(static_cast<int>(w.list.size()), std::memory_order_release);
}

bool LibavLogWatch::wants(const char* format) const {
    return std::any_of(formats_.begin(), formats_.end(), [format](const std::string& f) { return f == format; });
}

bool LibavLogWatch::confirm() {
    routeLibavLog();
    av_log(const_cast<void*>(context_), AV_LOG_TRACE, kProbe, 1);
    std::lock_guard lock(watches().mutex);
    return probeArrived_;
}

} // namespace platform
