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
#include <array>
#include <string>
#include <thread>
#include <vector>

namespace platform {

namespace {

// The probe's text is never shown: the callback recognises it by address.
constexpr char kProbe[] = "log route probe %d";
constexpr int kLineBytes = 1024;
// A watch gets whole RTSP requests and answer lines, which libav keeps
// within 4,096 bytes.
constexpr int kWatchedBytes = 8192;

// The watches, read on every libav log call of a context while any exists:
// a fixed set of slots read without a lock. Each slot names its watch's
// context, so a call passes the others with a load each; on a match the
// reader announces itself on the slot before it looks at the watch there,
// and a watch leaving empties its slot and waits until no reader is left.
constexpr std::size_t kSlots = 64;

struct Slot {
    std::atomic<const void*> context{nullptr};
    std::atomic<LibavLogWatch*> watch{nullptr};
    std::atomic<int> readers{0};
};

struct Watches {
    std::array<Slot, kSlots> slots;
    std::atomic<std::size_t> inUse{0}; // slots below this were ever taken
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

void deliverTo(LibavLogWatch& watch, int level, const char* format, va_list args) {
    if (format == kProbe) {
        watch.probeArrived();
        return;
    }
    if (!watch.wants(format)) return;
    char text[kWatchedBytes];
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    watch.deliver(level, withoutLineEnd(text));
}

void deliverToWatch(void* context, int level, const char* format, va_list args) {
    Watches& w = watches();
    const std::size_t inUse = w.inUse.load();
    for (std::size_t i = 0; i < inUse; ++i) {
        Slot& slot = w.slots[i];
        if (slot.context.load() != context) continue;
        slot.readers.fetch_add(1);
        LibavLogWatch* watch = slot.watch.load();
        if (watch != nullptr && watch->context() == context) deliverTo(*watch, level, format, args);
        slot.readers.fetch_sub(1);
    }
}

// The kind a message is held back by: its component and its format, so that
// a flood of one message with changing numbers counts as one.
std::string kindOf(void* context, const char* format) {
    const AVClass* component = context != nullptr ? *static_cast<AVClass* const*>(context) : nullptr;
    return std::string(component != nullptr ? component->class_name : "") + "\n" + format;
}

void route(void* context, int level, const char* format, va_list args) {
    if (format == nullptr) return;
    if (context != nullptr && watches().count.load() > 0) deliverToWatch(context, level, format, args);
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
    for (std::size_t i = 0; i < kSlots; ++i) {
        Slot& slot = w.slots[i];
        LibavLogWatch* empty = nullptr;
        if (!slot.watch.compare_exchange_strong(empty, this)) continue;
        slot.context.store(context_);
        std::size_t inUse = w.inUse.load();
        while (inUse < i + 1 && !w.inUse.compare_exchange_weak(inUse, i + 1)) {}
        slot_ = &slot;
        w.count.fetch_add(1);
        return;
    }
    // Every slot taken: this watch sees nothing, and confirm() says so.
}

LibavLogWatch::~LibavLogWatch() {
    if (slot_ == nullptr) return;
    auto* slot = static_cast<Slot*>(slot_);
    slot->context.store(nullptr);
    slot->watch.store(nullptr);
    while (slot->readers.load() != 0) std::this_thread::yield();
    watches().count.fetch_sub(1);
}

bool LibavLogWatch::wants(const char* format) const {
    return std::any_of(formats_.begin(), formats_.end(), [format](const std::string& f) { return f == format; });
}

bool LibavLogWatch::confirm() {
    routeLibavLog();
    av_log(const_cast<void*>(context_), AV_LOG_TRACE, kProbe, 1);
    return probeArrived_.load();
}

} // namespace platform
