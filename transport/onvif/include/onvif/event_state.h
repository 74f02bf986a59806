// The camera's motion and digital-input state, kept from the notifications of
// its pull-point subscription and read back as the motion and digital-input
// bytes of a frame header, so events reach the stream client's callbacks
// exactly as protocol 1 and 2 cameras deliver them.
//
// Whatever a camera sends, the state holds only what the bytes need: the
// motion flag, two input bits and the two input tokens that took the places
// of inputs 1 and 2. A camera naming a new token in every notification costs
// neither memory nor time.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
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

    // Tokens longer than this are told apart by their first this many bytes.
    static constexpr std::size_t kMaxTokenBytes = 64;

private:
    int inputIndex(std::string_view token);

    std::atomic<bool> motion_{false};
    std::atomic<unsigned> inputs_{0};
    std::mutex mutex_;
    // Tokens without a number 1 or 2 take the places no other token took, in
    // the order they first report; later ones have no place in the byte and
    // are not kept.
    enum class Place { Free, Numbered, Named };
    std::array<Place, 2> places_{Place::Free, Place::Free};
    std::array<std::string, 2> placedTokens_; // those of the Named places
};

} // namespace onvif
