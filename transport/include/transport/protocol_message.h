// The protocol message framing shared by every protocol 1 channel, the
// protocol 2 control channel and the audio-out connection:
// "Vexo", uint32 type, uint32 payload length, payload (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace transport {

inline constexpr char kMessageMagic[4] = {'V', 'e', 'x', 'o'};
inline constexpr std::size_t kMessageHeaderSize = 12;
inline constexpr std::size_t kMaxMessagePayload = 4096;
inline constexpr std::size_t kMaxMessageSize = kMessageHeaderSize + kMaxMessagePayload; // 4108

inline void putUint32Le(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint16_t getUint16Le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t getUint32Le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

struct MessageHeader {
    uint32_t type = 0;
    uint32_t payloadLength = 0;
};

// Writes header and payload into out (at least kMessageHeaderSize + length
// bytes). Returns the message size, or 0 when the payload is too long.
inline std::size_t buildMessage(uint8_t* out, uint32_t type, const void* payload, std::size_t length) {
    if (length > kMaxMessagePayload) return 0;
    std::memcpy(out, kMessageMagic, 4);
    putUint32Le(out + 4, type);
    putUint32Le(out + 8, static_cast<uint32_t>(length));
    if (length > 0 && payload != nullptr) std::memcpy(out + kMessageHeaderSize, payload, length);
    return kMessageHeaderSize + length;
}

// Parses a 12-byte header; false when the magic is wrong.
inline bool parseMessageHeader(const uint8_t* in, MessageHeader& header) {
    if (std::memcmp(in, kMessageMagic, 4) != 0) return false;
    header.type = getUint32Le(in + 4);
    header.payloadLength = getUint32Le(in + 8);
    return true;
}

} // namespace transport
