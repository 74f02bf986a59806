// Two-way audio: the audio-out token and microphone transfer.
#include "audio_sender.h"
#include "interface_object.h"
#include "plugin_hooks.h"

namespace ostrel {

std::unique_ptr<AudioSender> makeAudioSender(OstrelInterface& self) {
    (void)self;
    return std::make_unique<AudioSender>();
}

} // namespace ostrel

extern "C" {

OSTREL_API int32_t M_KGetAudioToken(OstrelInterface* handle, char* holder) {
    if (handle == nullptr || !handle->audioSender) return 0;
    try {
        const bool granted = handle->audioSender->getToken(handle->mediaConfig, holder);
        handle->tokenHeld.store(granted ? 1 : 0);
        return granted ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

OSTREL_API void M_KFreeAudioToken(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return;
    handle->audioSender->freeToken();
    handle->tokenHeld.store(0);
}

OSTREL_API int32_t M_KStartAudioTransfer(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return 0;
    try {
        return handle->audioSender->startCapture() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

OSTREL_API void M_KStopAudioTransfer(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return;
    handle->audioSender->stopCapture();
}

} // extern "C"
