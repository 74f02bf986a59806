// The camera's motion and digital-input state, kept from the notifications of
// its pull-point subscription and read back as the motion and digital-input
// bytes of a frame header, so events reach the stream client's callbacks
// exactly as protocol 1 and 2 cameras deliver them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "onvif/replies.h"

namespace onvif {

class EventState {
public:
    // Takes motion alarms (cell motion detector, motion alarm) and digital
    // input changes; other topics are passed over.
    void apply(const std::vector<Notification>& notifications);

    // Motion byte: the first region's bit (bit 1, as the stream client reads
    // three regions) while the camera reports motion; 0 otherwise.
    uint8_t motionByte() const { return motion_.load() ? 0x02 : 0x00; }
    // Digital-input byte, active low: bit 0 clear while input 1 is active,
    // bit 1 clear while input 2 is; 3 when neither.
    uint8_t digitalInputByte() const { return static_cast<uint8_t>(3u & ~inputs_.load()); }

private:
    int inputIndex(const std::string& token);

    std::atomic<bool> motion_{false};
    std::atomic<unsigned> inputs_{0};
    std::mutex mutex_;
    std::vector<std::string> inputTokens_; // first seen first, for tokens without a number
};

} // namespace onvif
