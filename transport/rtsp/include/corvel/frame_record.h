// Frame records of an RTSP camera: the 44-byte header of the transport
// contract in front of one H.264 or H.265 access unit (Annex-B), one JPEG
// picture, or a slice of 8 kHz PCM audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <transport/frame_header.h>

namespace corvel {

// Stream kinds (header byte 4) and the frame kinds M_XGetNextFrame reports.
enum class RecordKind : uint8_t { Audio = 2, H264 = 3, H265 = 4, Jpeg = 5 };

// A decoder may start at a record that carries it (transport/frame_header.h).
using transport::kRandomAccessFlag;
// Digital-input byte for a camera without inputs (active low: none active).
inline constexpr uint8_t kNoDigitalInput = 3;
// Audio records carry 640 bytes of 16-bit mono PCM at 8,000 samples/s from
// byte 28, the layout the stream client plays.
inline constexpr std::size_t kAudioPayloadOffset = 28;
inline constexpr std::size_t kAudioPayloadBytes = 640;
inline constexpr std::size_t kAudioRecordBytes = kAudioPayloadOffset + kAudioPayloadBytes;

// What one coded picture holds, from its NAL unit types.
struct AccessUnitInfo {
    bool randomAccess = false;  // IDR/IRAP picture, or any JPEG picture
    bool parameterSets = false; // carries every parameter set its codec needs
};

AccessUnitInfo inspectAccessUnit(RecordKind kind, std::span<const uint8_t> data);

// The parameter sets an access unit carries (H.264 SPS and PPS, H.265 VPS,
// SPS and PPS), each behind a 4-byte start code; empty for JPEG.
std::vector<uint8_t> parameterSetsOf(RecordKind kind, std::span<const uint8_t> data);

// Writes a video record: header, then `prefix` (the parameter sets from the
// session description, for a random-access picture lacking its own), then
// the picture. Returns the record length, or 0 when it would not fit
// `out` (nothing is written then).
std::size_t writeVideoRecord(RecordKind kind, bool randomAccess, uint32_t timeMs, std::span<const uint8_t> prefix,
                             std::span<const uint8_t> picture, std::span<uint8_t> out);

// Writes an audio record of kAudioRecordBytes; 0 when `out` is too small.
std::size_t writeAudioRecord(uint32_t timeMs, std::span<const uint8_t> pcm, std::span<uint8_t> out);

} // namespace corvel
