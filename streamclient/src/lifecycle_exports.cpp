// Exports for the interface object's life: open, settings, connect, close.
#include <cstring>

#include "back_channel_sender.h"
#include "interface_object.h"
#include "platform/diagnostics.h"

extern "C" {

OSTREL_API OstrelInterface* M_KOpenInterface(void) { return ostrel::openInterface({}); }

OSTREL_API void M_KCloseInterface(OstrelInterface* handle) {
    // From inside a callback the object would be freed under its own thread.
    if (handle == nullptr || ostrel::onOwnThread(*handle)) return;
    delete handle;
}

OSTREL_API void M_KSetStreamingType(OstrelInterface* handle, int32_t type) {
    if (handle == nullptr) return;
    handle->streamingType = type;
}

OSTREL_API int32_t M_KSetMediaConfig(OstrelInterface* handle, const MediaConfig* config) {
    if (handle == nullptr || config == nullptr || ostrel::onOwnThread(*handle)) return 0;
    platform::ReasonScope scope(&handle->report.reasons);
    // Replacing the transport under running threads would pull it from under
    // them: a caller that skipped M_KDisconnect gets it done here first, and a
    // receive thread left from a connect that gave up is ended.
    ostrel::disconnect(*handle);
    // The back channel lives in the instance about to be replaced.
    handle->backChannel->close();
    std::memcpy(&handle->mediaConfig, config, sizeof(MediaConfig));
    const int32_t type = handle->mediaConfig.connectionType;
    if (type < 1 || type > 3) {
        platform::diagnose("Ostrel-M: connection type " + std::to_string(type) + " is not 1, 2 or 3");
        return 0;
    }
    try {
        if (!handle->transport.bind(handle->streamingType, handle->seams.transportNames)) return 0;
    } catch (...) { // no memory for the module's path texts
        return 0;
    }
    return handle->transport.attach(handle->mediaConfig) ? 1 : 0;
}

OSTREL_API void M_KSetRenderInfo(OstrelInterface* handle, const RenderInfo* info) {
    if (handle == nullptr || info == nullptr) return;
    handle->settings.setRenderInfo(*info);
}

OSTREL_API void M_KSetNetworkLossCallback(OstrelInterface* handle, void* user, M_KNetworkLossCallback callback) {
    if (handle == nullptr) return;
    handle->settings.setNetworkLossCallback(user, callback);
}

OSTREL_API void M_KSetAfterRenderCallback(OstrelInterface* handle, void* user, M_KAfterRenderCallback callback) {
    if (handle == nullptr) return;
    handle->settings.setAfterRenderCallback(user, callback);
}

OSTREL_API void M_KSetMotionDetectionCallback(OstrelInterface* handle, void* user, M_KMotionCallback callback,
                                              uint8_t fourRegions) {
    if (handle == nullptr) return;
    handle->settings.setMotionCallback(user, callback, fourRegions != 0);
}

OSTREL_API void M_KSetDICallback(OstrelInterface* handle, void* user, M_KDICallback callback) {
    if (handle == nullptr) return;
    handle->settings.setDigitalInputCallback(user, callback);
}

OSTREL_API void M_KSetFrameTapCallback(OstrelInterface* handle, void* user, M_KFrameTapCallback callback) {
    if (handle == nullptr) return;
    handle->settings.setFrameTap(user, callback);
}

OSTREL_API void M_KSetMute(OstrelInterface* handle, uint8_t playAudio) {
    if (handle == nullptr) return;
    handle->settings.setPlayAudio(playAudio != 0);
}

OSTREL_API void M_KSetRecordOnly(OstrelInterface* handle, uint8_t recordOnly) {
    if (handle == nullptr) return;
    handle->settings.setRecordOnly(recordOnly != 0);
}

OSTREL_API void M_KSetTextout(OstrelInterface* handle, uint8_t enable, int32_t x, int32_t y, const char* text) {
    if (handle == nullptr) return;
    handle->settings.setOverlay(enable != 0, x, y, text);
}

OSTREL_API int32_t M_KConnect(OstrelInterface* handle) {
    if (handle == nullptr || ostrel::onOwnThread(*handle)) return 0;
    platform::ReasonScope scope(&handle->report.reasons);
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
    platform::ReasonScope scope(&handle->report.reasons);
    ostrel::disconnect(*handle);
}

} // extern "C"
