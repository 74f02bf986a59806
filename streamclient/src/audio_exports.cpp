// Two-way audio: the audio-out token and microphone transfer.
#include "audio_sender.h"
#include "interface_object.h"

extern "C" {

OSTREL_API int32_t M_KGetAudioToken(OstrelInterface* handle, char* holder) {
    if (handle == nullptr || !handle->audioSender) return 0;
    try {
        return handle->audioSender->getToken(handle->mediaConfig, holder) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

OSTREL_API void M_KFreeAudioToken(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return;
    handle->audioSender->freeToken();
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
