// Reading a frame record's header: every field at the offset FrameHeader
// fixes (contract.h checks them at compile time), for the stream client, the
// recorder and the plug-ins alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/contract.h"
#include "transport/protocol_message.h"

namespace transport {

// Bit 0 of the byte after streamKind, records of kinds 3 to 5: a decoder may
// start at this record.
inline constexpr uint8_t kRandomAccessFlag = 0x01;
// The stream kind of an audio record.
inline constexpr uint8_t kAudioStreamKind = 2;

// The 32 bytes from the time stamp on, which the event callbacks read (the
// motion and digital-input bytes among them).
inline constexpr std::size_t kEventHeaderOffset = offsetof(FrameHeader, timeStamp);
inline constexpr std::size_t kEventHeaderBytes = kFrameHeaderSize - kEventHeaderOffset;
inline constexpr std::size_t kEventMotionIndex = offsetof(FrameHeader, motion) - kEventHeaderOffset;
inline constexpr std::size_t kEventDigitalInputIndex = offsetof(FrameHeader, digitalInput) - kEventHeaderOffset;

// lengthAfter counts the record's bytes from here on.
inline constexpr std::size_t kLengthCountedFrom = offsetof(FrameHeader, timeStamp);

// `record` holds at least kFrameHeaderSize bytes.
inline uint8_t recordStreamKind(const uint8_t* record) { return record[offsetof(FrameHeader, streamKind)]; }
inline bool recordStartsPicture(const uint8_t* record) {
    return (record[offsetof(FrameHeader, zero5)] & kRandomAccessFlag) != 0;
}
inline uint32_t recordLengthAfter(const uint8_t* record) {
    return getUint32Le(record + offsetof(FrameHeader, lengthAfter));
}
inline uint32_t recordTimeStamp(const uint8_t* record) {
    return getUint32Le(record + offsetof(FrameHeader, timeStamp));
}
inline uint8_t recordMotion(const uint8_t* record) { return record[offsetof(FrameHeader, motion)]; }
inline uint8_t recordFrameRate(const uint8_t* record) { return record[offsetof(FrameHeader, frameRate)]; }

} // namespace transport
