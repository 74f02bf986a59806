// Talk-back to a camera whose transport plug-in carries it itself (ONVIF's
// audio back channel): the audio-out calls open the plug-in's back channel
// instead of asking for a token, and the microphone, captured as for any
// camera, goes to the plug-in. One per interface object; it must be closed
// before the transport it opened on is unbound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "microphone.h"
#include "transport_plugin.h"

namespace ostrel {

class BackChannelSender {
public:
    BackChannelSender(const platform::Clock& clock, Microphone::DeviceSource devices);
    ~BackChannelSender(); // close()
    BackChannelSender(const BackChannelSender&) = delete;
    BackChannelSender& operator=(const BackChannelSender&) = delete;

    // True when the bound plug-in carries talk-back.
    static bool carries(const TransportPlugin& transport);

    // Asks the camera whether it has a speaker: 1 yes or not known, 0 no
    // (the reason is kept).
    int32_t check(const TransportPlugin& transport);
    // Opens the back channel (closing an earlier one); false with the reason kept.
    bool open(const TransportPlugin& transport);
    // Stops capture and closes the back channel.
    void close();
    // Captures the microphone onto the open back channel.
    bool startCapture();
    void stopCapture();
    // Sends samples of another source (a file) while the microphone is not
    // captured; 16-bit mono at 8,000 samples/s.
    bool send(const int16_t* samples, std::size_t count);

    // Why the last check or open said no; "" when it did not.
    std::string reason() const;

private:
    void onBuffer(const uint8_t* data, std::size_t bytes);
    void setReason(std::string why);

    mutable std::mutex callerLock_; // the caller-side operations
    Microphone microphone_;
    const TransportPlugin* transport_ = nullptr; // while open
    mutable std::mutex reasonLock_;
    std::string reason_;
};

} // namespace ostrel
