// A transport plug-in for tests: frames come from a queue the test fills
// through the FakeTransport_* functions, and every call is logged. Built
// several times with functions left out (FAKE_WITHOUT_*).
#include <transport/plugin_exports.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Frame {
    int32_t kind;
    std::vector<uint8_t> bytes;
};

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Frame> frames;
    std::vector<std::string> calls;
    int connectResult = 1;
    int startResult = 1;
    bool holdConnect = false;
    bool closed = false;  // disconnect or stop: frames end
    bool dropped = false; // the camera went away
    int live = 0;
    MediaConfig lastConfig{};
    int eventsWanted = -1; // -1: never told
};

State& state() {
    static State s;
    return s;
}

void log(const char* name) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.calls.emplace_back(name);
    s.changed.notify_all();
}

int instanceTag;

} // namespace

FAKE_EXPORT void* M_XInit(void) {
    log("Init");
    std::lock_guard lock(state().mutex);
    ++state().live;
    return &instanceTag;
}

FAKE_EXPORT void M_XExit(void* handle) {
    if (handle == nullptr) return;
    log("Exit");
    std::lock_guard lock(state().mutex);
    --state().live;
}

FAKE_EXPORT int32_t M_XSetMediaConfig(void* handle, const MediaConfig* config) {
    if (handle == nullptr || config == nullptr) return 0;
    log("SetMediaConfig");
    std::lock_guard lock(state().mutex);
    state().lastConfig = *config;
    return 1;
}

FAKE_EXPORT int32_t M_XConnect(void* handle) {
    if (handle == nullptr) return 0;
    log("Connect");
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return !s.holdConnect; });
    s.closed = false;
    s.calls.emplace_back("ConnectDone");
    return s.connectResult;
}

#ifndef FAKE_WITHOUT_START
FAKE_EXPORT int32_t M_XStartStreaming(void* handle) {
    if (handle == nullptr) return 0;
    log("StartStreaming");
    std::lock_guard lock(state().mutex);
    return state().startResult;
}
#endif

FAKE_EXPORT int32_t M_XStopStreaming(void* handle) {
    if (handle == nullptr) return 0;
    log("StopStreaming");
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.closed = true;
    s.changed.notify_all();
    return 1;
}

FAKE_EXPORT int32_t M_XDisconnect(void* handle) {
    if (handle == nullptr) return 0;
    log("Disconnect");
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.closed = true;
    s.changed.notify_all();
    return 1;
}

#ifndef FAKE_WITHOUT_GET_NEXT_FRAME
FAKE_EXPORT int32_t M_XGetNextFrame(void* handle, int32_t* kind, uint8_t* buffer, int32_t size) {
    if (handle == nullptr) return 0;
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return !s.frames.empty() || s.closed || s.dropped; });
    if (s.closed || (s.dropped && s.frames.empty())) return -1;
    Frame f = std::move(s.frames.front());
    s.frames.pop_front();
    s.changed.notify_all();
    const int32_t n = static_cast<int32_t>(f.bytes.size());
    if (n > size) return -1;
    std::memcpy(buffer, f.bytes.data(), f.bytes.size());
    *kind = f.kind;
    return n;
}
#endif

FAKE_EXPORT int32_t M_XSendCommand(void* handle, const TransportCommand* command, void*) {
    if (handle == nullptr || command == nullptr) return 0;
    log("SendCommand");
    return 1;
}

// Told apart from the call log, whose order the lifecycle tests check.
FAKE_EXPORT int32_t M_XSetEventsWanted(void* handle, int32_t wanted) {
    if (handle == nullptr) return 0;
    std::lock_guard lock(state().mutex);
    state().eventsWanted = wanted;
    return 1;
}

FAKE_EXPORT int32_t M_XSetVideoConfig(void* handle, const VideoConfig*) { return handle ? 1 : 0; }
FAKE_EXPORT int32_t M_XGetVideoConfig(void* handle, VideoConfig*) { return handle ? 1 : 0; }
FAKE_EXPORT int32_t M_XGetNextIFrame(void*) { return 0; }
FAKE_EXPORT int32_t M_XGetPrevFrame(void*) { return 0; }
FAKE_EXPORT int32_t M_XGetPrevIFrame(void*) { return 0; }
FAKE_EXPORT int32_t M_XSetControlDataCallBack(void*, void*, ControlDataCallback) { return 0; }
FAKE_EXPORT int32_t M_XSetMotionInfo(void*, const MotionInfo*) { return 0; }
FAKE_EXPORT int32_t M_XGetMotionInfo(void*, MotionInfo*) { return 0; }
FAKE_EXPORT int32_t M_XGetBeginTime(void*, void*) { return 0; }
FAKE_EXPORT int32_t M_XGetEndTime(void*, void*) { return 0; }
FAKE_EXPORT int32_t M_XSetDebugMessageLevel(void*, int32_t) { return 0; }
FAKE_EXPORT void M_XGetVersion(void*, char* buffer) {
    if (buffer != nullptr) std::memcpy(buffer, transport::kVersionText, sizeof transport::kVersionText);
}

#ifdef FAKE_WITH_ENGINE
FAKE_EXPORT int32_t M_XSetEngineConfig(void*, const void*) { return 0; }
FAKE_EXPORT int32_t M_XStartTransferStreamingEngineData(void*) { return 0; }
#endif

// ---- control from the tests ----

FAKE_EXPORT void FakeTransport_Reset() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.frames.clear();
    s.calls.clear();
    s.connectResult = 1;
    s.startResult = 1;
    s.holdConnect = false;
    s.closed = false;
    s.dropped = false;
    s.lastConfig = {};
    s.eventsWanted = -1;
    s.changed.notify_all();
}

FAKE_EXPORT void FakeTransport_SetResults(int32_t connect, int32_t start) {
    std::lock_guard lock(state().mutex);
    state().connectResult = connect;
    state().startResult = start;
}

FAKE_EXPORT void FakeTransport_HoldConnect(int32_t hold) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.holdConnect = hold != 0;
    s.changed.notify_all();
}

FAKE_EXPORT void FakeTransport_PushFrame(int32_t kind, const uint8_t* bytes, int32_t length) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.frames.push_back({kind, std::vector<uint8_t>(bytes, bytes + length)});
    s.changed.notify_all();
}

// The camera goes away: once the queued frames are read, reads fail.
FAKE_EXPORT void FakeTransport_Drop() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.dropped = true;
    s.changed.notify_all();
}

// Waits until every queued frame was read.
FAKE_EXPORT int32_t FakeTransport_WaitDrained(int32_t timeoutMs) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return s.frames.empty(); }) ? 1 : 0;
}

// Waits until `name` was logged at least `count` times.
FAKE_EXPORT int32_t FakeTransport_WaitCall(const char* name, int32_t count, int32_t timeoutMs) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    auto seen = [&] {
        int32_t n = 0;
        for (const auto& c : s.calls) n += c == name ? 1 : 0;
        return n >= count;
    };
    return s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), seen) ? 1 : 0;
}

// The call log, comma separated, into buffer (capacity bytes).
FAKE_EXPORT void FakeTransport_Calls(char* buffer, int32_t capacity) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::string all;
    for (const auto& c : s.calls) {
        if (!all.empty()) all += ',';
        all += c;
    }
    std::strncpy(buffer, all.c_str(), static_cast<std::size_t>(capacity) - 1);
    buffer[capacity - 1] = '\0';
}

FAKE_EXPORT int32_t FakeTransport_LiveInstances() {
    std::lock_guard lock(state().mutex);
    return state().live;
}

FAKE_EXPORT void FakeTransport_LastConfig(MediaConfig* out) {
    std::lock_guard lock(state().mutex);
    *out = state().lastConfig;
}

FAKE_EXPORT int32_t FakeTransport_EventsWanted() {
    std::lock_guard lock(state().mutex);
    return state().eventsWanted;
}
