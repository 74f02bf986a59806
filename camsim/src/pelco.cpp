#include "camsim/pelco.h"

namespace camsim {

namespace {

int direction(bool minus, bool plus) { return minus == plus ? 0 : (plus ? 1 : -1); }

int speedOf(uint8_t byte) { return byte > 0x3F ? 0x3F : byte; } // 0xFF is "turbo"

// Preset commands share their codes in both protocols: the command byte is
// odd, which a plain movement never is.
PtzCommand extendedCommand(uint8_t command, uint8_t preset) {
    PtzCommand c;
    c.extended = command;
    c.preset = preset;
    switch (command) {
    case 0x03: c.kind = PtzCommand::Kind::PresetSet; break;
    case 0x05: c.kind = PtzCommand::Kind::PresetClear; break;
    case 0x07: c.kind = PtzCommand::Kind::PresetGo; break;
    default: c.kind = PtzCommand::Kind::Other; break;
    }
    return c;
}

} // namespace

PtzFrameStatus decodePelcoD(const uint8_t* f, std::size_t length, int address, PtzCommand& out) {
    if (f == nullptr || length != kPelcoDLength || f[0] != 0xFF) return PtzFrameStatus::Malformed;
    const uint8_t sum = static_cast<uint8_t>(f[1] + f[2] + f[3] + f[4] + f[5]);
    if (sum != f[6]) return PtzFrameStatus::BadChecksum;
    if (f[1] != static_cast<uint8_t>(address)) return PtzFrameStatus::OtherAddress;
    const uint8_t cmd1 = f[2], cmd2 = f[3];
    if ((cmd2 & 0x01) != 0) {
        out = extendedCommand(cmd2, f[5]);
        return PtzFrameStatus::Ok;
    }
    PtzCommand c;
    c.pan = direction((cmd2 & 0x04) != 0, (cmd2 & 0x02) != 0);
    c.tilt = direction((cmd2 & 0x08) != 0, (cmd2 & 0x10) != 0);
    c.panSpeed = c.pan != 0 ? speedOf(f[4]) : 0;
    c.tiltSpeed = c.tilt != 0 ? speedOf(f[5]) : 0;
    c.zoom = direction((cmd2 & 0x40) != 0, (cmd2 & 0x20) != 0);
    c.focus = direction((cmd1 & 0x01) != 0, (cmd2 & 0x80) != 0);
    c.iris = direction((cmd1 & 0x04) != 0, (cmd1 & 0x02) != 0);
    out = c;
    return PtzFrameStatus::Ok;
}

PtzFrameStatus decodePelcoP(const uint8_t* f, std::size_t length, int address, PtzCommand& out) {
    if (f == nullptr || length != kPelcoPLength || f[0] != 0xA0 || f[6] != 0xAF) return PtzFrameStatus::Malformed;
    uint8_t check = 0;
    for (int i = 0; i < 7; ++i) check = static_cast<uint8_t>(check ^ f[i]);
    if (check != f[7]) return PtzFrameStatus::BadChecksum;
    if (f[1] != static_cast<uint8_t>(address - 1)) return PtzFrameStatus::OtherAddress;
    const uint8_t data1 = f[2], data2 = f[3];
    if ((data2 & 0x01) != 0) {
        out = extendedCommand(data2, f[5]);
        return PtzFrameStatus::Ok;
    }
    PtzCommand c;
    c.pan = direction((data2 & 0x04) != 0, (data2 & 0x02) != 0);
    c.tilt = direction((data2 & 0x08) != 0, (data2 & 0x10) != 0);
    c.panSpeed = c.pan != 0 ? speedOf(f[4]) : 0;
    c.tiltSpeed = c.tilt != 0 ? speedOf(f[5]) : 0;
    c.zoom = direction((data2 & 0x40) != 0, (data2 & 0x20) != 0);
    c.focus = direction((data1 & 0x02) != 0, (data1 & 0x01) != 0);
    c.iris = direction((data1 & 0x08) != 0, (data1 & 0x04) != 0);
    out = c;
    return PtzFrameStatus::Ok;
}

PtzStreamResult decodePtzBytes(const uint8_t* data, std::size_t length, int address) {
    PtzStreamResult result;
    std::size_t i = 0;
    while (i < length) {
        const std::size_t left = length - i;
        PtzFrameStatus status = PtzFrameStatus::Malformed;
        std::size_t used = 0;
        PtzCommand command;
        if (data[i] == 0xFF && left >= kPelcoDLength) {
            status = decodePelcoD(data + i, kPelcoDLength, address, command);
            used = kPelcoDLength;
        } else if (data[i] == 0xA0 && left >= kPelcoPLength && data[i + 6] == 0xAF) {
            status = decodePelcoP(data + i, kPelcoPLength, address, command);
            used = kPelcoPLength;
        }
        switch (status) {
        case PtzFrameStatus::Ok: result.commands.push_back(command); break;
        case PtzFrameStatus::BadChecksum: ++result.badChecksum; break;
        case PtzFrameStatus::OtherAddress: ++result.otherAddress; break;
        case PtzFrameStatus::Malformed:
            ++result.skippedBytes;
            used = 1;
            break;
        }
        i += used;
    }
    return result;
}

} // namespace camsim
