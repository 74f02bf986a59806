#include "onvif/ptz_record.h"

namespace onvif {

namespace {

std::optional<double> velocity(uint8_t byte) {
    const int hundredths = static_cast<int8_t>(byte);
    if (hundredths < -100 || hundredths > 100) return std::nullopt;
    return hundredths / 100.0;
}

} // namespace

std::optional<PtzRecord> decodePtzRecord(const uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length != kPtzRecordSize || bytes[0] != 'O' || bytes[1] != 'V') return std::nullopt;
    PtzRecord record;
    switch (bytes[2]) {
    case 1: {
        const auto pan = velocity(bytes[3]);
        const auto tilt = velocity(bytes[4]);
        const auto zoom = velocity(bytes[5]);
        if (!pan || !tilt || !zoom) return std::nullopt;
        record.operation = PtzOperation::Move;
        record.pan = *pan;
        record.tilt = *tilt;
        record.zoom = *zoom;
        return record;
    }
    case 2:
        record.operation = PtzOperation::Stop;
        record.stopPanTilt = bytes[3] != 0;
        record.stopZoom = bytes[5] != 0;
        if (!record.stopPanTilt && !record.stopZoom) return std::nullopt;
        return record;
    case 3:
    case 4:
        if (bytes[6] == 0) return std::nullopt;
        record.operation = bytes[2] == 3 ? PtzOperation::SetPreset : PtzOperation::GotoPreset;
        record.preset = bytes[6];
        return record;
    default: return std::nullopt;
    }
}

} // namespace onvif
