// The command record the ONVIF protocol file produces for each PTZ command
// name: a tag, an operation and its values, which the plug-in turns into
// SOAP calls. Layout (7 bytes):
//   0-1  'O' 'V'
//   2    operation: 1 move, 2 stop, 3 set preset, 4 go to preset
//   3-5  move: pan, tilt, zoom velocity in hundredths (signed, -100..100);
//        stop: 1 for each axis group to stop (byte 3 pan/tilt, byte 5 zoom)
//   6    preset number (1..255)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace onvif {

enum class PtzOperation : uint8_t { Move = 1, Stop = 2, SetPreset = 3, GotoPreset = 4 };

struct PtzRecord {
    PtzOperation operation = PtzOperation::Stop;
    double pan = 0.0; // -1..1
    double tilt = 0.0;
    double zoom = 0.0;
    bool stopPanTilt = false;
    bool stopZoom = false;
    int preset = 0;
};

inline constexpr std::size_t kPtzRecordSize = 7;

// The record, or nothing when the bytes are not one (another protocol's
// serial bytes, a bad operation or value).
std::optional<PtzRecord> decodePtzRecord(const uint8_t* bytes, std::size_t length);

} // namespace onvif
