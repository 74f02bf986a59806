// One camera's settings, as the viewer keeps them in memory and the live view
// reads them. Texts are 8-bit and NUL-terminated; a field of width n holds at
// most n - 1 characters, and longer texts are cut to the field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "transport/streaming_types.h"

namespace tavolin {

inline constexpr int kCameraCount = 16;

struct CameraRecord {
    int32_t index; // position 0..15; names the section on save
    char name[64];
    char host[288];   // dotted IPv4 text; for RTSP a whole rtsp:// URL, for ONVIF a host name too
    uint32_t channel; // never stored
    uint32_t registerPort;
    uint32_t controlPort;
    uint32_t streamingPort;
    uint32_t httpPort;
    char userName[64];
    char password[64];
    uint8_t useStreamingEngine;
    char streamingEngineHost[16];
    char streamingEngineUser[64];
    char streamingEnginePassword[64];
    uint8_t ptzEnabled;
    uint32_t ptzSourceType; // 0 none, 1 protocol file, 2 built-in vendor and protocol
    char ptzVendor[32];
    char ptzProtocol[32];
    char ptzProtocolFile[512];
    uint8_t inSwitchGroup;
    uint8_t playAudio;
    uint8_t quadServer;
    uint8_t showName;
    uint8_t showEvents;
    int32_t serialControl;  // serial frame code: 0, 8 or 24
    int32_t serialBaudRate; // index into the baud-rate list
    int32_t ptzAddress;
    int32_t streamingType; // transport/streaming_types.h: 1, 2, 4 or 5 (3 passes through)
    int32_t ptzSpeed;
    uint8_t autoReconnect; // try again on its own after a lost connection
    uint8_t keepAspect;    // letterbox types 1 and 2 too (types 4 and 5 always keep it)
    // An RTSP camera's second, smaller stream (a whole rtsp:// URL), shown
    // where the first one's pictures would only be shrunk; empty: none.
    char subStreamUrl[288];
    // What the PTZ camera's moves do to its picture, measured from it: the
    // calibration pointing uses (one line of text); empty: not measured.
    char ptzCalibration[232];
};
static_assert(std::is_trivially_copyable_v<CameraRecord>);

// Streaming types 4 (RTSP) and 5 (ONVIF, whose video comes over RTSP too).
using transport::streamsOverRtsp;

// How many bytes of `host` a record of this streaming type uses: a whole
// rtsp:// URL or a host name for RTSP and ONVIF cameras, a dotted IPv4
// address otherwise.
constexpr std::size_t hostLimit(int32_t streamingType) {
    return streamsOverRtsp(streamingType) ? sizeof(CameraRecord::host) - 1 : 15;
}

// Whether the viewer reconnects by default: RTSP and ONVIF cameras do,
// protocols 1 and 2 keep their behaviour unless the user turns it on.
constexpr bool reconnectsByDefault(int32_t streamingType) { return streamsOverRtsp(streamingType); }

// The record "Load Default" puts at position `index`.
CameraRecord defaultCameraRecord(int index);

// Copies a text into a field, cut to the field's width.
template <std::size_t N>
void setText(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (n > 0) std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// Cuts the host to what the record's streaming type uses.
inline void limitHost(CameraRecord& record) {
    const std::size_t limit = hostLimit(record.streamingType);
    record.host[::strnlen(record.host, limit)] = '\0';
}

// The text of a field, never read past the field even if it lacks its NUL.
template <std::size_t N>
std::string_view textOf(const char (&field)[N]) {
    return {field, ::strnlen(field, N - 1)};
}

} // namespace tavolin
