#include "parameter_sets.h"

namespace camsim::rtsp {

namespace {

bool isParameterSet(uint8_t header, RtspCodec codec) {
    if (codec == RtspCodec::H264) {
        const int type = header & 0x1F;
        return type == 7 || type == 8 || type == 9; // SPS, PPS, delimiter
    }
    if (codec == RtspCodec::H265) {
        const int type = (header >> 1) & 0x3F;
        return type >= 32 && type <= 35; // VPS, SPS, PPS, delimiter
    }
    return false;
}

// Offset of the next 00 00 01 at or after `from`; size when none.
std::size_t nextStartCode(std::span<const uint8_t> data, std::size_t from) {
    for (std::size_t i = from; i + 2 < data.size(); ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i;
    }
    return data.size();
}

} // namespace

std::vector<uint8_t> parameterSetsOnly(std::span<const uint8_t> accessUnit, RtspCodec codec) {
    std::vector<uint8_t> out;
    std::size_t start = nextStartCode(accessUnit, 0);
    while (start < accessUnit.size()) {
        const std::size_t unit = start + 3;
        std::size_t end = nextStartCode(accessUnit, unit);
        const std::size_t next = end;
        // A zero before the next start code belongs to its 4-byte form.
        while (end > unit && accessUnit[end - 1] == 0) --end;
        if (unit < end && isParameterSet(accessUnit[unit], codec)) {
            out.insert(out.end(), {0, 0, 0, 1});
            out.insert(out.end(), accessUnit.begin() + static_cast<std::ptrdiff_t>(unit),
                       accessUnit.begin() + static_cast<std::ptrdiff_t>(end));
        }
        start = next;
    }
    return out;
}

} // namespace camsim::rtsp
