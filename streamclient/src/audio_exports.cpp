// Two-way audio: the audio-out token and microphone transfer. A camera
// streamed over RTSP talks back on its plug-in's back channel (ONVIF's audio
// back channel) instead: the "token" is the open back channel.
#include <algorithm>
#include <cstring>

#include "audio_sender.h"
#include "back_channel_sender.h"
#include "interface_object.h"
#include "transport/streaming_types.h"

namespace {

bool talksThroughPlugin(const OstrelInterface& h) {
    return transport::streamsOverRtsp(h.transport.streamingType()) && ostrel::BackChannelSender::carries(h.transport);
}

int32_t copyText(const std::string& text, char* out, int32_t size) {
    if (out == nullptr || size <= 0) return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return text.empty() ? 0 : 1;
}

} // namespace

extern "C" {

OSTREL_API int32_t M_KGetAudioToken(OstrelInterface* handle, char* holder) {
    if (handle == nullptr || !handle->audioSender) return 0;
    try {
        if (talksThroughPlugin(*handle)) {
            // Nobody else holds a back channel: the holder text stays empty.
            if (holder != nullptr) holder[0] = '\0';
            return handle->backChannel->open(handle->transport) ? 1 : 0;
        }
        return handle->audioSender->getToken(handle->mediaConfig, holder) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

OSTREL_API void M_KFreeAudioToken(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return;
    handle->backChannel->close();
    handle->audioSender->freeToken();
}

OSTREL_API int32_t M_KStartAudioTransfer(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return 0;
    try {
        if (talksThroughPlugin(*handle)) return handle->backChannel->startCapture() ? 1 : 0;
        return handle->audioSender->startCapture() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

OSTREL_API void M_KStopAudioTransfer(OstrelInterface* handle) {
    if (handle == nullptr || !handle->audioSender) return;
    handle->backChannel->stopCapture();
    handle->audioSender->stopCapture();
}

OSTREL_API int32_t M_KCheckAudioOut(OstrelInterface* handle, char* reason, int32_t reasonSize) {
    if (handle == nullptr) return 0;
    try {
        if (talksThroughPlugin(*handle)) {
            const int32_t result = handle->backChannel->check(handle->transport);
            copyText(result != 0 ? std::string() : handle->backChannel->reason(), reason, reasonSize);
            return result;
        }
        if (transport::audioOutOf(handle->streamingType) == transport::AudioOut::Token) {
            copyText({}, reason, reasonSize);
            return 1;
        }
        copyText("streaming type " + std::to_string(handle->streamingType) + " has no audio out", reason, reasonSize);
        return 0;
    } catch (...) {
        return 0;
    }
}

OSTREL_API int32_t M_KGetAudioOutReason(OstrelInterface* handle, char* reason, int32_t reasonSize) {
    if (handle == nullptr) return 0;
    try {
        return copyText(handle->backChannel->reason(), reason, reasonSize);
    } catch (...) {
        return 0;
    }
}

OSTREL_API int32_t M_KSendAudioOut(OstrelInterface* handle, const int16_t* samples, int32_t count) {
    if (handle == nullptr || samples == nullptr || count <= 0) return 0;
    return handle->backChannel->send(samples, static_cast<std::size_t>(count)) ? 1 : 0;
}

} // extern "C"
