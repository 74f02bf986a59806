// Talk-back to an ONVIF camera: its audio back channel, on the stream
// address of the profile that carries the speaker (the watched one when it
// does), with the camera's login. The address passes the loopback guard
// before GStreamer gets it.
#pragma once

#include "corvel/camera_url.h"
#include "talk/back_channel.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace onvif {
class Device;
}

namespace corvel {

class OnvifTalkBack {
public:
    // The stream the camera named for the profile to talk over (with the
    // configured host), the login, and how long a set-up may take.
    void setStream(const std::string& uri, const Credentials& credentials, int deadlineMs);

    // Whether the camera has a speaker, asked of it when `device` is given:
    // 1 yes or not known, 0 no (reason says why).
    int32_t check(onvif::Device* device, std::string& reason);
    // Sets the back channel up; false with the reason.
    bool open(onvif::Device* device, std::string& reason);
    bool send(const int16_t* samples, std::size_t count) { return channel_.send(samples, count); }
    void close() { channel_.close(); }

private:
    std::mutex mutex_;
    std::optional<std::string> uri_;
    Credentials credentials_;
    int deadlineMs_ = 2000;
    talk::BackChannel channel_;
};

} // namespace corvel
