// The M_X functions of the protocol version 2 transport plug-in.
#include "instance.h"

#include "transport/plugin_exports.h"

#include <cstring>
#include <new>

namespace {

fenwa20::Instance* cast(void* handle) { return static_cast<fenwa20::Instance*>(handle); }

// Runs `work` on a live instance; nothing thrown ever leaves the library.
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
        return new (std::nothrow) fenwa20::Instance();
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
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.setMediaConfig(*config);
        return 1;
    });
}

extern "C" int32_t M_XConnect(void* handle) {
    return guarded(handle, [](fenwa20::Instance& i) { return i.connect(); });
}

extern "C" int32_t M_XStartStreaming(void* handle) {
    return guarded(handle, [](fenwa20::Instance& i) { return i.startStreaming(); });
}

extern "C" int32_t M_XGetNextFrame(void* handle, int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) {
    return guarded(handle, [&](fenwa20::Instance& i) { return i.getNextFrame(frameKind, buffer, bufferSize); });
}

extern "C" int32_t M_XGetNextIFrame(void* handle) {
    return guarded(handle, [](fenwa20::Instance& i) { return i.getNextIFrame(); });
}

// One shared entry: there is no frame history.
extern "C" int32_t M_XGetPrevFrame(void* /*handle*/) { return 0; }
extern "C" int32_t M_XGetPrevIFrame(void* handle) __attribute__((alias("M_XGetPrevFrame")));

// One shared entry: no recording times exist.
extern "C" int32_t M_XGetBeginTime(void* /*handle*/, void* /*unused*/) { return 0; }
extern "C" int32_t M_XGetEndTime(void* handle, void* unused) __attribute__((alias("M_XGetBeginTime")));

extern "C" int32_t M_XStopStreaming(void* handle) {
    return guarded(handle, [](fenwa20::Instance& i) {
        i.stopStreaming();
        return 1;
    });
}

extern "C" int32_t M_XDisconnect(void* handle) {
    return guarded(handle, [](fenwa20::Instance& i) {
        i.disconnect();
        return 1;
    });
}

extern "C" int32_t M_XSendCommand(void* handle, const TransportCommand* command, void* /*unused*/) {
    if (command == nullptr) return 0;
    return guarded(handle, [&](fenwa20::Instance& i) { return i.sendCommand(*command); });
}

extern "C" int32_t M_XSetControlDataCallBack(void* handle, void* context, ControlDataCallback callback) {
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.setControlDataCallback(context, callback);
        return 1;
    });
}

extern "C" int32_t M_XSetMotionInfo(void* handle, const MotionInfo* info) {
    if (info == nullptr) return 0;
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.setMotionInfo(*info);
        return 1;
    });
}

extern "C" int32_t M_XGetMotionInfo(void* handle, MotionInfo* info) {
    if (info == nullptr) return 0;
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.getMotionInfo(*info);
        return 1;
    });
}

extern "C" int32_t M_XSetVideoConfig(void* handle, const VideoConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.setVideoConfig(*config);
        return 1;
    });
}

extern "C" int32_t M_XGetVideoConfig(void* handle, VideoConfig* config) {
    if (config == nullptr) return 0;
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.getVideoConfig(*config);
        return 1;
    });
}

extern "C" int32_t M_XSetDebugMessageLevel(void* handle, int32_t level) {
    return guarded(handle, [&](fenwa20::Instance& i) {
        i.setDebugMessageLevel(level);
        return 1;
    });
}
