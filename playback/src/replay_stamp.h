// The replay header extension (profile 0xABAC) a camera puts on every RTP
// packet of a replay: the picture's absolute time as an NTP time stamp, and
// the flags C (a clean point: a key picture starts here), E (the last packet
// before a gap or the end), D (a discontinuity: the first packet after a
// gap or a new PLAY), T (the very last packet), then the low byte of the
// CSeq of the PLAY the packet answers. A picture's time is read from here,
// never guessed from the RTP time stamp.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace playback {

inline constexpr uint16_t kReplayExtensionProfile = 0xABAC;

struct ReplayStamp {
    bool timeKnown = false;     // all ones: the camera does not know
    int64_t unixUs = 0;         // the picture's time, microseconds since 1970 (rounded)
    bool clean = false;         // C
    bool end = false;           // E
    bool discontinuity = false; // D
    bool terminal = false;      // T
    uint8_t cseq = 0;
    bool operator==(const ReplayStamp&) const = default;
};

// Reads a packet's header extension: its 16-bit profile and its data (the
// words after the extension header). Nothing for another profile or data
// shorter than the three words the stamp takes; longer data is allowed.
// NTP seconds with the top bit clear are after 2036 (RFC 4330's rule).
std::optional<ReplayStamp> readReplayStamp(uint16_t profile, std::span<const uint8_t> data);

} // namespace playback
