// Frame records as transport plug-ins hand them out, for feeding the
// recorder in tests.
#pragma once

#include <cstdint>
#include <vector>

#include "transport/contract.h"
#include "transport/protocol_message.h"

namespace recorder::test {

// A record of stream kind `kind` (1 to 5) holding `data` after the 44-byte
// header; `flags` is header byte 5 (bit 0: a decoder may start here).
inline std::vector<uint8_t> recordOf(uint8_t kind, uint32_t cameraMs, const std::vector<uint8_t>& data,
                                     uint8_t flags = 0, uint8_t motion = 0, uint8_t frameRate = 0) {
    std::vector<uint8_t> r(transport::kFrameHeaderSize, 0);
    for (int i = 0; i < 4; ++i) r[i] = transport::kFrameStartCode[i];
    r[4] = kind;
    r[5] = flags;
    r.insert(r.end(), data.begin(), data.end());
    transport::putUint32Le(r.data() + 8, static_cast<uint32_t>(r.size() - 12));
    transport::putUint32Le(r.data() + 12, cameraMs);
    r[18] = motion;
    r[19] = 3;
    r[27] = frameRate;
    return r;
}

} // namespace recorder::test
