// Serial PTZ frames as a dome camera reads them off its RS-485 line: the
// Pelco-D (FF, address, two command bytes, two data bytes, sum) and Pelco-P
// (A0, address, four data bytes, AF, exclusive or) forms, decoded from the
// public definitions of both protocols.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camsim {

enum class PtzFrameStatus {
    Ok,
    BadChecksum,
    OtherAddress, // well formed, for another device on the line
    Malformed,    // wrong length or framing bytes
};

// What one frame asks of the head. Every plain (non-extended) frame states
// the whole movement at once: a direction left at 0 stops that axis.
struct PtzCommand {
    enum class Kind { Move, PresetSet, PresetClear, PresetGo, Other };
    Kind kind = Kind::Move;
    int pan = 0;       // -1 left, +1 right
    int tilt = 0;      // -1 up, +1 down
    int panSpeed = 0;  // 0 .. 0x3F
    int tiltSpeed = 0; // 0 .. 0x3F
    int zoom = 0;      // -1 wide, +1 tele
    int focus = 0;     // -1 near, +1 far
    int iris = 0;      // -1 close, +1 open
    int preset = 0;    // extended commands: the preset number
    int extended = 0;  // extended commands: the command byte (odd)
    bool operator==(const PtzCommand&) const = default;
};

// `address` is the camera's own address as the user sets it (1 to 255).
// Pelco-D carries it unchanged; Pelco-P counts from 0, so address 1 travels
// as 0x00.
PtzFrameStatus decodePelcoD(const uint8_t* frame, std::size_t length, int address, PtzCommand& out);
PtzFrameStatus decodePelcoP(const uint8_t* frame, std::size_t length, int address, PtzCommand& out);

inline constexpr std::size_t kPelcoDLength = 7;
inline constexpr std::size_t kPelcoPLength = 8;

// Splits a serial payload into frames of either protocol and decodes each;
// bytes that start no frame are skipped. Counts what it had to refuse.
struct PtzStreamResult {
    std::vector<PtzCommand> commands;
    int badChecksum = 0;
    int otherAddress = 0;
    int skippedBytes = 0;
};
PtzStreamResult decodePtzBytes(const uint8_t* data, std::size_t length, int address);

} // namespace camsim
