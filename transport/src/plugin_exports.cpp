// The M_X functions of every transport plug-in, compiled into each one over
// its own instance (transport::makePluginInstance). Each checks the handle
// and the records handed in, and keeps exceptions inside the library.
#include "transport/plugin_exports.h"
#include "transport/plugin_instance.h"

#include <algorithm>
#include <cstring>
#include <string>

using transport::instanceOf;
using transport::PluginInstance;

namespace {

// Runs `work` on a live instance; `failed` is the result of a throw.
template <typename Work>
int32_t guarded(void* handle, Work work, int32_t failed = 0) {
    if (handle == nullptr) return 0;
    try {
        return work(*instanceOf(handle));
    } catch (...) {
        return failed;
    }
}

// The result of a step that cannot fail once the instance is there.
template <typename Step>
int32_t done(void* handle, Step step) {
    return guarded(handle, [&](PluginInstance& i) {
        step(i);
        return 1;
    });
}

// A call that answers with a result and a one-line reason, cut to the
// caller's buffer.
template <typename Call>
int32_t withReason(void* handle, char* reason, int32_t reasonSize, Call call) {
    return guarded(handle, [&](PluginInstance& i) {
        std::string why;
        const int32_t result = call(i, why);
        if (reason != nullptr && reasonSize > 0) {
            const std::size_t n = std::min(why.size(), static_cast<std::size_t>(reasonSize) - 1);
            std::memcpy(reason, why.data(), n);
            reason[n] = '\0';
        }
        return result;
    });
}

} // namespace

extern "C" void* M_XInit(void) {
    try {
        return transport::handleOf(transport::makePluginInstance().release());
    } catch (...) {
        return nullptr;
    }
}

extern "C" void M_XExit(void* handle) {
    try {
        delete instanceOf(handle);
    } catch (...) {}
}

extern "C" void M_XGetVersion(void* /*handle*/, char* buffer) {
    if (buffer != nullptr) std::memcpy(buffer, transport::kVersionText, sizeof transport::kVersionText);
}

extern "C" int32_t M_XSetMediaConfig(void* handle, const MediaConfig* config) {
    if (config == nullptr) return 0;
    return done(handle, [&](PluginInstance& i) { i.setMediaConfig(*config); });
}

extern "C" int32_t M_XConnect(void* handle) {
    return guarded(handle, [](PluginInstance& i) { return i.connect(); });
}

extern "C" int32_t M_XStartStreaming(void* handle) {
    return guarded(handle, [](PluginInstance& i) { return i.startStreaming(); });
}

extern "C" int32_t M_XStopStreaming(void* handle) {
    return done(handle, [](PluginInstance& i) { i.stopStreaming(); });
}

extern "C" int32_t M_XDisconnect(void* handle) {
    return done(handle, [](PluginInstance& i) { i.disconnect(); });
}

// A throw ends the stream: -1, like a lost connection.
extern "C" int32_t M_XGetNextFrame(void* handle, int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    return guarded(
        handle, [&](PluginInstance& i) { return i.getNextFrame(frameKind, buffer, bufferSize); }, -1);
}

extern "C" int32_t M_XGetNextIFrame(void* handle) {
    return guarded(
        handle, [](PluginInstance& i) { return i.getNextIFrame(); }, -1);
}

// One entry serves both names: there is no frame history.
extern "C" int32_t M_XGetPrevFrame(void* /*handle*/) { return 0; }
extern "C" int32_t M_XGetPrevIFrame(void* handle) __attribute__((alias("M_XGetPrevFrame")));

// One entry serves both names: there are no recording times.
extern "C" int32_t M_XGetBeginTime(void* /*handle*/, void* /*unused*/) { return 0; }
extern "C" int32_t M_XGetEndTime(void* handle, void* unused) __attribute__((alias("M_XGetBeginTime")));

extern "C" int32_t M_XSendCommand(void* handle, const TransportCommand* command, void* /*unused*/) {
    if (command == nullptr) return 0;
    return guarded(handle, [&](PluginInstance& i) { return i.sendCommand(*command); });
}

extern "C" int32_t M_XSetControlDataCallBack(void* handle, void* context, ControlDataCallback callback) {
    return done(handle, [&](PluginInstance& i) { i.setControlDataCallback(context, callback); });
}

extern "C" int32_t M_XSetMotionInfo(void* handle, const MotionInfo* info) {
    if (info == nullptr) return 0;
    return guarded(handle, [&](PluginInstance& i) { return i.setMotionInfo(*info); });
}

extern "C" int32_t M_XGetMotionInfo(void* handle, MotionInfo* info) {
    if (info == nullptr) return 0;
    return guarded(handle, [&](PluginInstance& i) { return i.getMotionInfo(*info); });
}

extern "C" int32_t M_XSetVideoConfig(void* handle, const VideoConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](PluginInstance& i) { return i.setVideoConfig(*config); });
}

extern "C" int32_t M_XGetVideoConfig(void* handle, VideoConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](PluginInstance& i) { return i.getVideoConfig(*config); });
}

extern "C" int32_t M_XSetDebugMessageLevel(void* handle, int32_t level) {
    return done(handle, [&](PluginInstance& i) { i.setDebugMessageLevel(level); });
}

extern "C" int32_t M_XCheckBackChannel(void* handle, char* reason, int32_t reasonSize) {
    return withReason(handle, reason, reasonSize,
                      [](PluginInstance& i, std::string& why) { return i.checkBackChannel(why); });
}

extern "C" int32_t M_XOpenBackChannel(void* handle, char* reason, int32_t reasonSize) {
    return withReason(handle, reason, reasonSize,
                      [](PluginInstance& i, std::string& why) { return i.openBackChannel(why); });
}

extern "C" int32_t M_XSendBackChannelAudio(void* handle, const int16_t* samples, int32_t count) {
    if (samples == nullptr || count <= 0) return 0;
    return guarded(handle,
                   [&](PluginInstance& i) { return i.sendBackChannelAudio(samples, static_cast<std::size_t>(count)); });
}

extern "C" int32_t M_XCloseBackChannel(void* handle) {
    return done(handle, [](PluginInstance& i) { i.closeBackChannel(); });
}
