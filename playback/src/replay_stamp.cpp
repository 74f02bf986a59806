#include "replay_stamp.h"

namespace playback {

namespace {

constexpr std::size_t kStampBytes = 12;
constexpr int64_t kNtpToUnixSeconds = 2208988800LL; // 1900-01-01 to 1970-01-01
constexpr int64_t kNtpEra = int64_t{1} << 32;

uint32_t bigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

} // namespace

std::optional<ReplayStamp> readReplayStamp(uint16_t profile, std::span<const uint8_t> data) {
    if (profile != kReplayExtensionProfile || data.size() < kStampBytes) return std::nullopt;
    const uint32_t seconds = bigEndian32(data.data());
    const uint32_t fraction = bigEndian32(data.data() + 4);
    const uint8_t flags = data[8];
    ReplayStamp stamp;
    stamp.clean = (flags & 0x80) != 0;
    stamp.end = (flags & 0x40) != 0;
    stamp.discontinuity = (flags & 0x20) != 0;
    stamp.terminal = (flags & 0x10) != 0;
    stamp.cseq = data[9];
    stamp.timeKnown = !(seconds == UINT32_MAX && fraction == UINT32_MAX);
    if (stamp.timeKnown) {
        const int64_t ntpSeconds = (seconds & 0x80000000u) != 0 ? int64_t{seconds} : int64_t{seconds} + kNtpEra;
        // A fraction is 2^-32 s: to the nearest microsecond.
        const int64_t us = static_cast<int64_t>((uint64_t{fraction} * 1'000'000 + (uint64_t{1} << 31)) >> 32);
        stamp.unixUs = (ntpSeconds - kNtpToUnixSeconds) * 1'000'000 + us;
    }
    return stamp;
}

} // namespace playback
