// The M_X functions of an RTSP transport plug-in. Each plug-in supplies the
// instance it makes (makePluginInstance); everything else is shared.
#include "corvel/instance.h"
#include "corvel/plugin.h"

#include "transport/plugin_exports.h"

#include <cstring>

namespace {

corvel::Instance* cast(void* handle) { return static_cast<corvel::Instance*>(handle); }

template <typename Work>
int32_t guarded(void* handle, Work work) {
    if (handle == nullptr) return 0;
    try {
        return work(*cast(handle));
    } catch (...) {
        return 0;
    }
}

} // namespace

extern "C" void* M_XInit(void) {
    try {
        return corvel::makePluginInstance().release();
    } catch (...) {
        return nullptr;
    }
}

extern "C" void M_XExit(void* handle) {
    try {
        delete cast(handle);
    } catch (...) {}
}

extern "C" void M_XGetVersion(void* /*handle*/, char* buffer) {
    if (buffer != nullptr) std::memcpy(buffer, transport::kVersionText, sizeof transport::kVersionText);
}

extern "C" int32_t M_XSetMediaConfig(void* handle, const MediaConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](corvel::Instance& i) {
        i.setMediaConfig(*config);
        return 1;
    });
}

extern "C" int32_t M_XConnect(void* handle) {
    return guarded(handle, [](corvel::Instance& i) { return i.connect(); });
}

extern "C" int32_t M_XStartStreaming(void* handle) {
    return guarded(handle, [](corvel::Instance& i) { return i.startStreaming(); });
}

extern "C" int32_t M_XGetNextFrame(void* handle, int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    if (handle == nullptr) return 0;
    try {
        return cast(handle)->getNextFrame(frameKind, buffer, bufferSize);
    } catch (...) {
        return -1;
    }
}

extern "C" int32_t M_XGetNextIFrame(void* handle) {
    return guarded(handle, [](corvel::Instance& i) { return i.getNextIFrame(); });
}

// No frame history and no recording times.
extern "C" int32_t M_XGetPrevFrame(void* /*handle*/) { return 0; }
extern "C" int32_t M_XGetPrevIFrame(void* handle) __attribute__((alias("M_XGetPrevFrame")));
extern "C" int32_t M_XGetBeginTime(void* /*handle*/, void* /*unused*/) { return 0; }
extern "C" int32_t M_XGetEndTime(void* handle, void* unused) __attribute__((alias("M_XGetBeginTime")));

extern "C" int32_t M_XStopStreaming(void* handle) {
    return guarded(handle, [](corvel::Instance& i) {
        i.stopStreaming();
        return 1;
    });
}

extern "C" int32_t M_XDisconnect(void* handle) {
    return guarded(handle, [](corvel::Instance& i) {
        i.disconnect();
        return 1;
    });
}

extern "C" int32_t M_XSendCommand(void* handle, const TransportCommand* command, void* /*unused*/) {
    if (command == nullptr) return 0;
    return guarded(handle, [&](corvel::Instance& i) { return i.sendCommand(*command); });
}

extern "C" int32_t M_XSetControlDataCallBack(void* handle, void* /*context*/, ControlDataCallback /*callback*/) {
    return handle != nullptr ? 1 : 0;
}

// Encoder and motion settings are not reachable over RTSP: the records
// handed in are left alone and those asked for stay unchanged.
extern "C" int32_t M_XSetMotionInfo(void* /*handle*/, const MotionInfo* /*info*/) { return 0; }
extern "C" int32_t M_XGetMotionInfo(void* /*handle*/, MotionInfo* /*info*/) { return 0; }
extern "C" int32_t M_XSetVideoConfig(void* /*handle*/, const VideoConfig* /*config*/) { return 0; }
extern "C" int32_t M_XGetVideoConfig(void* /*handle*/, VideoConfig* /*config*/) { return 0; }

extern "C" int32_t M_XSetDebugMessageLevel(void* handle, int32_t level) {
    return guarded(handle, [&](corvel::Instance& i) {
        i.setDebugMessageLevel(level);
        return 1;
    });
}
