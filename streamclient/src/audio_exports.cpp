// Two-way audio: the audio-out token and microphone transfer. Not carried
// yet: the requests answer 0 and send nothing.
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
    (void)handle;
    (void)holder;
    return 0;
}

OSTREL_API void M_KFreeAudioToken(OstrelInterface* handle) { (void)handle; }

OSTREL_API int32_t M_KStartAudioTransfer(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API void M_KStopAudioTransfer(OstrelInterface* handle) { (void)handle; }

} // extern "C"
