// Exports for the interface object's life: open, settings, connect, close.
#include <cstring>
#include <new>

#include "audio_sender.h"
#include "interface_object.h"
#include "platform/diagnostics.h"
#include "plugin_hooks.h"

using ostrel::kOverlayCapacity;

extern "C" {

OSTREL_API OstrelInterface* M_KOpenInterface(void) {
    try {
        auto* self = new OstrelInterface();
        self->audioSender = ostrel::makeAudioSender(*self);
        return self;
    } catch (...) {
        return nullptr;
    }
}

OSTREL_API void M_KCloseInterface(OstrelInterface* handle) {
    // From inside a callback the object would be freed under its own thread.
    if (handle == nullptr || ostrel::onOwnThread(*handle)) return;
    // A caller that skipped M_KDisconnect still gets its threads stopped
    // before the object goes.
    if (handle->receiveThread.joinable() || handle->renderThread.joinable() || handle->eventThread.joinable()) {
        ostrel::disconnect(*handle);
    }
    if (handle->audioSender) {
        handle->audioSender->stopCapture();
        handle->audioSender->freeToken();
        handle->audioSender.reset();
    }
    ostrel::unbindTransport(*handle);
    ostrel::unbindDecoder(*handle);
    ostrel::releasePtz(*handle);
    delete handle;
}

OSTREL_API void M_KSetStreamingType(OstrelInterface* handle, int32_t type) {
    if (handle == nullptr) return;
    handle->streamingType = type;
}

OSTREL_API int32_t M_KSetMediaConfig(OstrelInterface* handle, const MediaConfig* config) {
    if (handle == nullptr || config == nullptr || ostrel::onOwnThread(*handle)) return 0;
    // A receive thread left from a connect that gave up must be gone before
    // its transport is replaced.
    ostrel::joinAbandonedReceiveThread(*handle);
    // Replacing the transport under running threads would pull it from under
    // them: a caller that skipped M_KDisconnect gets it done here first.
    if (handle->receiveThread.joinable() || handle->renderThread.joinable() || handle->eventThread.joinable()) {
        ostrel::disconnect(*handle);
    }
    std::memcpy(&handle->mediaConfig, config, sizeof(MediaConfig));
    const int32_t type = handle->mediaConfig.connectionType;
    if (type < 1 || type > 3) {
        platform::diagnose("Ostrel-M: connection type " + std::to_string(type) + " is not 1, 2 or 3");
        return 0;
    }
    bool bound = false;
    try {
        bound = ostrel::bindTransport(*handle);
    } catch (...) { // no memory for the module's path texts
        bound = false;
    }
    if (!bound) return 0;
    void* instance = handle->transport.init();
    if (instance == nullptr) return 0;
    {
        std::lock_guard lock(handle->transportStopLock);
        handle->transportInstance = instance;
    }
    handle->transport.setMediaConfig(instance, &handle->mediaConfig);
    return 1;
}

OSTREL_API void M_KSetRenderInfo(OstrelInterface* handle, const RenderInfo* info) {
    if (handle == nullptr || info == nullptr) return;
    std::lock_guard lock(handle->settingsLock);
    std::memcpy(&handle->renderInfo, info, sizeof(RenderInfo));
}

OSTREL_API void M_KSetNetworkLossCallback(OstrelInterface* handle, void* user, M_KNetworkLossCallback callback) {
    if (handle == nullptr) return;
    handle->networkLossUser = user;
    handle->networkLossCallback = callback;
}

OSTREL_API void M_KSetAfterRenderCallback(OstrelInterface* handle, void* user, M_KAfterRenderCallback callback) {
    if (handle == nullptr) return;
    handle->afterRenderUser = user;
    handle->afterRenderCallback = callback;
}

OSTREL_API void M_KSetMotionDetectionCallback(OstrelInterface* handle, void* user, M_KMotionCallback callback,
                                              uint8_t fourRegions) {
    if (handle == nullptr) return;
    handle->motionUser = user;
    handle->motionCallback = callback;
    handle->fourRegions.store(fourRegions);
}

OSTREL_API void M_KSetDICallback(OstrelInterface* handle, void* user, M_KDICallback callback) {
    if (handle == nullptr) return;
    handle->diUser = user;
    handle->diCallback = callback;
}

OSTREL_API void M_KSetMute(OstrelInterface* handle, uint8_t playAudio) {
    if (handle == nullptr) return;
    handle->playAudio.store(playAudio);
}

OSTREL_API void M_KSetTextout(OstrelInterface* handle, uint8_t enable, int32_t x, int32_t y, const char* text) {
    if (handle == nullptr) return;
    std::lock_guard lock(handle->settingsLock);
    handle->overlayOn.store(0);
    if (text == nullptr) return;
    const std::size_t length = std::strlen(text);
    if (length >= kOverlayCapacity) return;
    handle->overlayX = x;
    handle->overlayY = y;
    handle->overlayLength = static_cast<int32_t>(length);
    // 8-bit text in the device's code page: its first 256 code points.
    for (std::size_t i = 0; i < kOverlayCapacity; ++i) {
        handle->overlayText[i] = i < length ? static_cast<char16_t>(static_cast<unsigned char>(text[i])) : u'\0';
    }
    handle->overlayOn.store(enable);
}

OSTREL_API int32_t M_KConnect(OstrelInterface* handle) {
    if (handle == nullptr || ostrel::onOwnThread(*handle)) return 0;
    try {
        return ostrel::connect(*handle);
    } catch (...) {
        // A thread that could not be started: stop whatever did start.
        ostrel::disconnect(*handle);
        return 0;
    }
}

OSTREL_API void M_KDisconnect(OstrelInterface* handle) {
    // A callback cannot wait for the thread it runs on; the caller's own
    // thread disconnects instead.
    if (handle == nullptr || ostrel::onOwnThread(*handle)) return;
    ostrel::disconnect(*handle);
}

} // extern "C"
