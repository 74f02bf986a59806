// Corvel-O's talk-back functions: the camera's ONVIF audio back channel.
#include "onvif_instance.h"

#include "transport/plugin_exports.h"
#include "transport/plugin_instance.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

corvel::OnvifInstance* onvifOf(void* handle) {
    // Every instance of this plug-in is an ONVIF one.
    return static_cast<corvel::OnvifInstance*>(transport::instanceOf(handle));
}

void copyReason(const std::string& reason, char* out, int32_t size) {
    if (out == nullptr || size <= 0) return;
    const std::size_t n = std::min(reason.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(out, reason.data(), n);
    out[n] = '\0';
}

template <typename Work>
int32_t guarded(void* handle, Work work) {
    if (handle == nullptr) return 0;
    try {
        return work(*onvifOf(handle));
    } catch (...) {
        return 0;
    }
}

// A call that answers with a result and a reason.
int32_t withReason(void* handle, char* reason, int32_t reasonSize,
                   int32_t (corvel::OnvifInstance::*call)(std::string& reason)) {
    return guarded(handle, [&](corvel::OnvifInstance& i) {
        std::string why;
        const int32_t result = (i.*call)(why);
        copyReason(why, reason, reasonSize);
        return result;
    });
}

} // namespace

extern "C" int32_t M_XCheckBackChannel(void* handle, char* reason, int32_t reasonSize) {
    return withReason(handle, reason, reasonSize, &corvel::OnvifInstance::checkBackChannel);
}

extern "C" int32_t M_XOpenBackChannel(void* handle, char* reason, int32_t reasonSize) {
    return withReason(handle, reason, reasonSize, &corvel::OnvifInstance::openBackChannel);
}

extern "C" int32_t M_XSendBackChannelAudio(void* handle, const int16_t* samples, int32_t count) {
    if (samples == nullptr || count <= 0) return 0;
    return guarded(handle, [&](corvel::OnvifInstance& i) {
        return i.talkBack().send(samples, static_cast<std::size_t>(count)) ? 1 : 0;
    });
}

extern "C" int32_t M_XCloseBackChannel(void* handle) {
    return guarded(handle, [](corvel::OnvifInstance& i) {
        i.talkBack().close();
        return 1;
    });
}
