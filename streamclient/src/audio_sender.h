// Sends microphone audio to the camera over the audio-out token connection.
// One per interface object, made by M_KOpenInterface, destroyed by
// M_KCloseInterface. Two-way audio is carried by audio_exports.cpp.
#pragma once

namespace ostrel {

class AudioSender {
public:
    AudioSender() = default;
    virtual ~AudioSender() = default;
    AudioSender(const AudioSender&) = delete;
    AudioSender& operator=(const AudioSender&) = delete;

    // Stops capture if it runs.
    virtual void stopCapture() {}
    // Releases the token and closes the connection.
    virtual void freeToken() {}
};

} // namespace ostrel
