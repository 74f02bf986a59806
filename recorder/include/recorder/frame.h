// One compressed picture or audio slice as the recorder keeps it: copied out
// of a frame record of the transport contract (44-byte header, then data),
// with the camera's time stamp, when it arrived and, once repaired, its time
// on the recording's own scale.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace recorder {

// The stream kinds of frame records (header byte 4): 1 MPEG-4 Part 2 video
// (protocols 1 and 2), 2 audio, 3 H.264, 4 H.265, 5 JPEG (RTSP cameras).
enum class MediaKind : uint8_t { Mpeg4 = 1, Audio = 2, H264 = 3, H265 = 4, Jpeg = 5 };

inline constexpr bool isVideo(MediaKind kind) { return kind != MediaKind::Audio; }

struct Frame {
    MediaKind kind = MediaKind::Audio;
    bool key = false;      // a decoder may start here (an intra picture)
    bool motion = false;   // the camera reported motion with this picture
    uint8_t frameRate = 0; // pictures/s as the camera reports it; 0: not said
    uint32_t cameraMs = 0;
    int64_t arrivalMs = 0; // on the recorder's monotonic clock
    int64_t timeMs = 0;    // repaired: never goes back (CameraTimeline)
    // Video: the interval of the grid its time was placed on (FrameCadence),
    // and whether that interval was measured on the stream yet.
    double frameIntervalMs = 0;
    bool intervalMeasured = false;
    // Video: the coded picture (Annex-B for H.264/H.265, with the parameter
    // sets in front of a key picture). Audio: 16-bit mono PCM at 8 kHz.
    std::vector<uint8_t> payload;
};

// Copies a frame record as M_XGetNextFrame hands it out (frameKind is what it
// reported). Nothing for a record that is too short, lacks the start code,
// has a length field that does not match, or carries no playable data.
std::optional<Frame> frameFromRecord(int32_t frameKind, std::span<const uint8_t> record, int64_t arrivalMs);

// True when MPEG-4 Part 2 data holds an intra-coded picture (its first
// picture start code 00 00 01 B6 is followed by coding type 0).
bool holdsMpeg4IntraPicture(std::span<const uint8_t> data);

// Bytes a kept frame costs in memory: its payload and its bookkeeping.
std::size_t memoryCost(const Frame& frame);

} // namespace recorder
