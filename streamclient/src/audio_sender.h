// Sends microphone audio to the camera over the audio-out token connection.
// One per interface object, made by M_KOpenInterface, destroyed by
// M_KCloseInterface. The caller's thread asks for and frees the token and
// starts and stops capture; captured buffers are sent from the audio
// device's own thread.
#pragma once

#include <transport/contract.h>
#include <transport/protocol_message.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "audio_token.h"
#include "microphone.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"

namespace ostrel {

class AudioSender {
public:
    using DeviceSource = Microphone::DeviceSource;

    // The clock bounds the wait for a buffer in flight when capture stops;
    // devices gives the microphone, asked for on the first start.
    AudioSender(const platform::Clock& clock, DeviceSource devices);
    ~AudioSender();
    AudioSender(const AudioSender&) = delete;
    AudioSender& operator=(const AudioSender&) = delete;

    // Connects to the camera's control port and asks for the token. True when
    // granted; holder (16 bytes, may be null) gets "" on a grant and the
    // holder's address on a refusal or a failed request.
    bool getToken(const MediaConfig& config, char* holder);
    // Stops capture, says goodbye (message 49) and closes the connection.
    void freeToken();
    // Starts capture on the open token connection.
    bool startCapture();
    // Stops capture if it runs; the token stays held.
    void stopCapture();

private:
    bool connect();
    // Message 49, then the socket is shut down and closed.
    void release();
    // The device thread's handler for one full buffer.
    void onBuffer(const uint8_t* data, std::size_t bytes);

    // Serialises the caller-side operations.
    mutable std::mutex callerLock_;
    platform::TcpSocket socket_;
    AudioConnectionBlock block_{};
    std::array<uint8_t, 4> holder_{}; // from the last reply, 0.0.0.0 before

    Microphone microphone_;
    // One audio message: header, then the 4,096-byte capture buffer.
    std::unique_ptr<uint8_t[]> packet_;
    uint32_t packetCounter_ = 0; // device thread while capturing
};

} // namespace ostrel
