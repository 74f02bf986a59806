// The M_X functions of the protocol version 1 plug-in. Each one checks the
// handle, keeps exceptions inside, and hands over to the instance.
#include "instance.h"
#include "transport/plugin_exports.h"

#include <cstring>
#include <new>

using fenwa10::Instance;
using fenwa10::instanceFromHandle;

namespace {

template <typename F>
int32_t guarded(void* handle, F&& body) {
    if (handle == nullptr) return 0;
    try {
        return body(*instanceFromHandle(handle));
    } catch (...) {
        return 0;
    }
}

} // namespace

extern "C" void* M_XInit(void) {
    try {
        return fenwa10::handleOf(new Instance(platform::SystemClock::instance()));
    } catch (...) {
        return nullptr;
    }
}

extern "C" void M_XExit(void* handle) {
    if (handle == nullptr) return;
    try {
        delete instanceFromHandle(handle);
    } catch (...) {}
}

extern "C" void M_XGetVersion(void* /*handle*/, char* buffer) {
    if (buffer != nullptr) std::memcpy(buffer, transport::kVersionText, sizeof transport::kVersionText);
}

extern "C" int32_t M_XSetMediaConfig(void* handle, const MediaConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](Instance& i) {
        i.setMediaConfig(*config);
        return 1;
    });
}

extern "C" int32_t M_XConnect(void* handle) {
    return guarded(handle, [](Instance& i) { return i.connect() ? 1 : 0; });
}

extern "C" int32_t M_XStartStreaming(void* handle) {
    return guarded(handle, [](Instance& i) { return i.startStreaming() ? 1 : 0; });
}

extern "C" int32_t M_XStopStreaming(void* handle) {
    return guarded(handle, [](Instance& i) {
        i.stopStreaming();
        return 1;
    });
}

extern "C" int32_t M_XDisconnect(void* handle) {
    return guarded(handle, [](Instance& i) {
        i.disconnect();
        return 1;
    });
}

extern "C" int32_t M_XGetNextFrame(void* handle, int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    if (handle == nullptr) return 0;
    try {
        return instanceFromHandle(handle)->getNextFrame(frameKind, buffer, bufferSize);
    } catch (...) {
        return -1;
    }
}

extern "C" int32_t M_XGetNextIFrame(void* handle) {
    if (handle == nullptr) return 0;
    try {
        return instanceFromHandle(handle)->getNextIFrame();
    } catch (...) {
        return -1;
    }
}

// One entry serves both names: there is no frame history.
extern "C" int32_t M_XGetPrevFrame(void* /*handle*/) { return 0; }
extern "C" int32_t M_XGetPrevIFrame(void* handle) __attribute__((alias("M_XGetPrevFrame")));

// One entry serves both names: there are no recording times.
extern "C" int32_t M_XGetBeginTime(void* /*handle*/, void* /*unused*/) { return 0; }
extern "C" int32_t M_XGetEndTime(void* handle, void* unused) __attribute__((alias("M_XGetBeginTime")));

extern "C" int32_t M_XSendCommand(void* handle, const TransportCommand* command, void* /*unused*/) {
    if (command == nullptr) return 0;
    return guarded(handle, [&](Instance& i) { return i.sendCommand(*command) ? 1 : 0; });
}

extern "C" int32_t M_XSetControlDataCallBack(void* handle, void* context, ControlDataCallback callback) {
    return guarded(handle, [&](Instance& i) {
        i.setCallback(context, callback);
        return 1;
    });
}

extern "C" int32_t M_XSetMotionInfo(void* handle, const MotionInfo* info) {
    if (info == nullptr) return 0;
    return guarded(handle, [&](Instance& i) { return i.setMotionInfo(*info) ? 1 : 0; });
}

extern "C" int32_t M_XGetMotionInfo(void* handle, MotionInfo* info) {
    if (info == nullptr) return 0;
    return guarded(handle, [&](Instance& i) { return i.getMotionInfo(*info) ? 1 : 0; });
}

extern "C" int32_t M_XSetVideoConfig(void* handle, const VideoConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](Instance& i) { return i.setVideoConfig(*config) ? 1 : 0; });
}

extern "C" int32_t M_XGetVideoConfig(void* handle, VideoConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](Instance& i) { return i.getVideoConfig(*config); });
}

extern "C" int32_t M_XSetDebugMessageLevel(void* handle, int32_t level) {
    return guarded(handle, [&](Instance& i) {
        i.setDebugMessageLevel(level);
        return 1;
    });
}
